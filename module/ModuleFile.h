#pragma once
// The full path of a loaded module file, however long it is.
#include <windows.h>

#include <string>

namespace orvane {

HRESULT ModuleFileName(HMODULE module, std::wstring& path);

}  // namespace orvane
