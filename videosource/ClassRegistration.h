#pragma once
// The DLL's two COM classes (the filter and its property page) under HKEY_CLASSES_ROOT\CLSID.
#include <windows.h>

#include <string>

namespace orvane::videosource {

HRESULT RegisterClasses(const std::wstring& dllPath);
// Succeeds when there is nothing left to remove.
HRESULT UnregisterClasses();

}  // namespace orvane::videosource
