#include "module/ModuleFile.h"

namespace orvane {

HRESULT ModuleFileName(HMODULE module, std::wstring& path)
{
    // GetModuleFileNameW cuts a long path to the buffer and says so only by filling it: grow the
    // buffer until the path fits, so callers can tell a long path from a short one.
    path.assign(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            path.clear();
            return HRESULT_FROM_WIN32(GetLastError());
        }
        if (length < path.size()) {
            path.resize(length);
            return S_OK;
        }
        if (path.size() >= 32768) {
            path.clear();
            return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
        }
        path.assign(path.size() * 2, L'\0');
    }
}

}  // namespace orvane
