#include "tests/module/ComTestSupport.h"

#include <gtest/gtest.h>
#include <oleauto.h>

#include <vector>

#include "platform/RegistryKey.h"
#include "tests/support/ModulePath.h"
#include "tests/support/ModuleRegistration.h"

namespace orvane::test {

std::wstring ModulePath()
{
    return BesideTestProgram(L"Orvane.dll");
}

HRESULT CallExport(const std::wstring& path, const char* name)
{
    HMODULE module = LoadLibraryW(path.c_str());
    if (module == nullptr) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    using Export = HRESULT(STDAPICALLTYPE*)();
    auto function = reinterpret_cast<Export>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    const HRESULT result = function != nullptr ? function() : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    FreeLibrary(module);
    return result;
}

HRESULT ModuleCanUnloadNow()
{
    HMODULE module = GetModuleHandleW(ModulePath().c_str());
    if (module == nullptr) {
        return E_FAIL;
    }
    using Export = HRESULT(STDAPICALLTYPE*)();
    auto function = reinterpret_cast<Export>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    return function != nullptr ? function() : E_FAIL;
}

DWORD RunProgram(const std::wstring& commandLine, DWORD milliseconds)
{
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return ~0u;
    }
    DWORD exitCode = STILL_ACTIVE;
    if (WaitForSingleObject(process.hProcess, milliseconds) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &exitCode);
    } else {
        TerminateProcess(process.hProcess, STILL_ACTIVE);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode;
}

DWORD Regsvr32(const std::wstring& dll, bool unregister)
{
    return RunProgram(std::wstring(L"regsvr32.exe /s ") + (unregister ? L"/u " : L"") + L"\"" + dll + L"\"");
}

bool ClassesKeyExists(const std::wstring& key)
{
    RegistryKey opened;
    return opened.Open(HKEY_CLASSES_ROOT, key.c_str(), KEY_READ) == ERROR_SUCCESS;
}

std::optional<std::wstring> ClassesValue(const std::wstring& key, const wchar_t* name)
{
    wchar_t buffer[2048] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::wstring(buffer);
}

namespace {
DWORD CountOf(const std::wstring& key, bool subkeys)
{
    RegistryKey opened;
    if (opened.Open(HKEY_CLASSES_ROOT, key.c_str(), KEY_READ) != ERROR_SUCCESS) {
        return ~0u;
    }
    DWORD keys = 0;
    DWORD values = 0;
    RegQueryInfoKeyW(opened.Get(), nullptr, nullptr, nullptr, &keys, nullptr, nullptr, &values, nullptr, nullptr,
                     nullptr, nullptr);
    return subkeys ? keys : values;
}
}  // namespace

DWORD ClassesSubkeyCount(const std::wstring& key)
{
    return CountOf(key, true);
}

DWORD ClassesValueCount(const std::wstring& key)
{
    return CountOf(key, false);
}

ThreadError TakeThreadError()
{
    ThreadError error;
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.Put()) != S_OK || !info) {
        return error;
    }
    error.present = true;
    const auto take = [](auto get, std::wstring& into) {
        BSTR text = nullptr;
        if (SUCCEEDED(get(&text)) && text != nullptr) {
            into = text;
        }
        SysFreeString(text);
    };
    take([&](BSTR* text) { return info->GetDescription(text); }, error.description);
    take([&](BSTR* text) { return info->GetSource(text); }, error.source);
    take([&](BSTR* text) { return info->GetHelpFile(text); }, error.helpFile);
    info->GetGUID(&error.guid);
    info->GetHelpContext(&error.helpContext);
    return error;
}

void EnsureModuleRegistered()
{
    ASSERT_EQ(EnsureModuleRegistration(ModulePath()), S_OK);
}

}  // namespace orvane::test
