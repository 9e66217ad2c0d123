#include "videosource/ClassRegistration.h"

#include <objbase.h>

#include "platform/RegistryKey.h"
#include "videosource/VideoSourceIds.h"

namespace orvane::videosource {

namespace {

std::wstring ClassKey(REFCLSID clsid)
{
    wchar_t text[40] = {};
    StringFromGUID2(clsid, text, 40);
    return std::wstring(L"CLSID\\") + text;
}

LONG SetText(HKEY key, const wchar_t* name, const std::wstring& value)
{
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

LONG RegisterClass(REFCLSID clsid, const wchar_t* name, const std::wstring& dllPath, const wchar_t* threading)
{
    const std::wstring key = ClassKey(clsid);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());  // nothing stale survives a new registration
    RegistryKey classKey;
    RegistryKey server;
    LONG status = classKey.Create(HKEY_CLASSES_ROOT, key.c_str());
    if (status == ERROR_SUCCESS) {
        status = SetText(classKey.Get(), nullptr, name);
    }
    if (status == ERROR_SUCCESS) {
        status = server.Create(classKey.Get(), L"InprocServer32");
    }
    if (status == ERROR_SUCCESS) {
        status = SetText(server.Get(), nullptr, dllPath);
    }
    if (status == ERROR_SUCCESS) {
        status = SetText(server.Get(), L"ThreadingModel", threading);
    }
    return status;
}

}  // namespace

HRESULT RegisterClasses(const std::wstring& dllPath)
{
    // The filter's threads are its own and it locks what they share; the page lives in a window.
    LONG status = RegisterClass(kFilterClass, kFilterName, dllPath, L"Both");
    if (status == ERROR_SUCCESS) {
        status = RegisterClass(kPropertyPageClass, kPageName, dllPath, L"Apartment");
    }
    return HRESULT_FROM_WIN32(status);
}

HRESULT UnregisterClasses()
{
    for (REFCLSID clsid : {kFilterClass, kPropertyPageClass}) {
        const LONG status = RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKey(clsid).c_str());
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
            return HRESULT_FROM_WIN32(status);
        }
    }
    return S_OK;
}

}  // namespace orvane::videosource
