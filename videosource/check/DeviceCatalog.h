#pragma once
// The video input devices every DirectShow application sees, as the system device enumerator
// lists them, with what their property bags say.
#include <dshow.h>

#include <string>
#include <vector>

#include "platform/ComPtr.h"

namespace orvane::dshowcheck {

struct VideoDevice {
    std::wstring friendlyName;
    std::wstring devicePath;  // empty when the device has none
    std::wstring serial;      // an Orvane board's serial; empty for other devices
    ComPtr<IMoniker> moniker;

    bool IsOrvane() const { return !serial.empty(); }
};

// Every video input device; S_FALSE with none. A failure when the enumerator cannot be created.
HRESULT ListVideoDevices(std::vector<VideoDevice>& devices);

// The device `which` names: its number in the list (from 1), its friendly name or its board's
// serial (ignoring case). Null when none does.
const VideoDevice* FindDevice(const std::vector<VideoDevice>& devices, const std::string& which);

}  // namespace orvane::dshowcheck
