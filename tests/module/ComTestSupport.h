#pragma once
// What the module's COM tests share: an apartment for the test thread, the module's exports,
// registry reads below HKEY_CLASSES_ROOT and running a program such as regsvr32 with a bound.
#include <windows.h>
#include <objbase.h>

#include <optional>
#include <string>

#include "platform/ComApartment.h"
#include "platform/ComPtr.h"

namespace orvane::test {

// The test thread joins a single-threaded apartment, as a host's control thread does.
using orvane::ComApartment;

// The module beside the test program.
std::wstring ModulePath();

// Calls one of the module's STDAPI exports (DllRegisterServer ...) of the file at `path`.
HRESULT CallExport(const std::wstring& path, const char* name);

// DllCanUnloadNow of the module as the COM runtime loaded it; E_FAIL when it is not loaded.
HRESULT ModuleCanUnloadNow();

// Runs a command line, waits at most `milliseconds`, answers its exit code (ends it and answers
// STILL_ACTIVE when the bound passes, ~0u when it could not start).
DWORD RunProgram(const std::wstring& commandLine, DWORD milliseconds = 60000);
DWORD Regsvr32(const std::wstring& dll, bool unregister);

// Registry below HKEY_CLASSES_ROOT.
bool ClassesKeyExists(const std::wstring& key);
std::optional<std::wstring> ClassesValue(const std::wstring& key, const wchar_t* name = nullptr);
DWORD ClassesSubkeyCount(const std::wstring& key);
DWORD ClassesValueCount(const std::wstring& key);

// The error object the last call left on the calling thread, taken off it.
struct ThreadError {
    bool present = false;
    std::wstring description;
    std::wstring source;
    std::wstring helpFile;
    GUID guid{};
    DWORD helpContext = 0;
};
ThreadError TakeThreadError();

// The test-wide precondition of the COM tests: the module is registered in this prefix.
void EnsureModuleRegistered();

}  // namespace orvane::test
