#include "module/TypeLibraryRegistration.h"

#include <oleauto.h>

#include <iterator>
#include <string>

#include "platform/ComPtr.h"
#include "module/ModuleFile.h"
#include "platform/RegistryKey.h"

namespace orvane {

HRESULT RegisterModuleTypeLibrary(HMODULE module)
{
    std::wstring path;
    if (const HRESULT result = ModuleFileName(module, path); FAILED(result)) {
        return result;
    }
    // Loading a module path without a resource number reads its TYPELIB resource 1.
    ComPtr<ITypeLib> library;
    if (const HRESULT result = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Put()); FAILED(result)) {
        return result;
    }
    return RegisterTypeLib(library.Get(), path.data(), nullptr);
}

HRESULT UnregisterModuleTypeLibrary(REFGUID libraryId)
{
#if defined(_WIN64)
    constexpr SYSKIND kPlatform = SYS_WIN64;
    constexpr const wchar_t* kPlatformKey = L"\\1.0\\0\\win64";
#else
    constexpr SYSKIND kPlatform = SYS_WIN32;
    constexpr const wchar_t* kPlatformKey = L"\\1.0\\0\\win32";
#endif
    // Platforms disagree on what removing an unregistered library answers; there is nothing to do.
    wchar_t id[40] = {};
    StringFromGUID2(libraryId, id, static_cast<int>(std::size(id)));
    const std::wstring versionKey = std::wstring(L"TypeLib\\") + id + kPlatformKey;
    RegistryKey registered;
    if (registered.Open(HKEY_CLASSES_ROOT, versionKey.c_str(), KEY_READ) == ERROR_FILE_NOT_FOUND) {
        return S_OK;
    }
    registered.Close();
    return UnRegisterTypeLib(libraryId, 1, 0, LANG_NEUTRAL, kPlatform);
}

}  // namespace orvane
