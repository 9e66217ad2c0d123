#pragma once
// This DLL: its handle (for its resources) and its file (for its registration).
#include <windows.h>

#include <string>

namespace orvane::videosource {

HMODULE OwnModule();
std::wstring OwnFilePath();

}  // namespace orvane::videosource
