#pragma once
// One video input device per board, registered with the platform's filter mapper so that every
// DirectShow application's device enumerator finds it: friendly name "<board name> (<serial>)",
// and in its property bag the "DevicePath" applications match devices by and the "Serial" the
// filter learns its board from.
#include <windows.h>

#include <string>
#include <vector>

#include "videosource/BoardList.h"

namespace orvane::videosource {

std::wstring DeviceFriendlyName(const BoardInfo& board);
std::wstring DevicePath(const std::wstring& serial);

// Replaces every device of this filter by one per board.
HRESULT RegisterDevices(const std::vector<BoardInfo>& boards);
// Removes every device of this filter; succeeds when there is none.
HRESULT UnregisterDevices();

}  // namespace orvane::videosource
