#pragma once
// The module's registry script, carried out by the platform's registrar (module/Registrar.h) with
// "%MODULE%" standing for the module file's full path.
#include <windows.h>

#include <string>
#include <string_view>

namespace orvane {

enum class ScriptMode { Register, Unregister };

// The module path as it must stand inside a quoted script value: every single quote doubled.
// Paths of MAX_PATH (260) characters or more are refused with the insufficient-buffer result.
HRESULT QuoteModulePath(std::wstring_view path, std::wstring& quoted);

// Runs the script held as resource `resourceId` of type "REGISTRY" in `module`. Joins a COM
// apartment for the time of the call when the thread is in none.
HRESULT UpdateRegistryFromResource(HMODULE module, UINT resourceId, ScriptMode mode);

}  // namespace orvane
