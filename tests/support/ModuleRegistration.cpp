#include "tests/support/ModuleRegistration.h"

#include <objbase.h>

#include "Orvane.h"
#include "platform/RegistryKey.h"
#include "tests/support/TestProcessLock.h"

namespace orvane::test {

namespace {

std::wstring Braced(REFGUID guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

bool RegisteredFrom(const std::wstring& path)
{
    const std::wstring server = L"CLSID\\" + Braced(CLSID_CorvathOrvane) + L"\\InprocServer32";
    wchar_t written[2048] = {};
    DWORD size = sizeof written - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CLASSES_ROOT, server.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, written, &size) != ERROR_SUCCESS ||
        lstrcmpiW(written, path.c_str()) != 0) {
        return false;
    }
    RegistryKey library;
    return library.Open(HKEY_CLASSES_ROOT, (L"TypeLib\\" + Braced(LIBID_ORVANELib) + L"\\1.0").c_str(), KEY_READ) ==
           ERROR_SUCCESS;
}

}  // namespace

HRESULT EnsureModuleRegistration(const std::wstring& path)
{
    const TestProcessLock turn(kRegistrationTurn);
    if (!turn.Held()) {
        return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
    }
    if (RegisteredFrom(path)) {
        return S_OK;
    }
    HMODULE module = LoadLibraryW(path.c_str());
    if (module == nullptr) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    using Export = HRESULT(STDAPICALLTYPE*)();
    auto registerServer = reinterpret_cast<Export>(reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
    const HRESULT result = registerServer != nullptr ? registerServer() : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    FreeLibrary(module);
    return result;
}

}  // namespace orvane::test
