#pragma once
// The module's registry script as a whole: the text from the resources, its variables replaced,
// parsed and carried out.
#include <windows.h>

#include <span>
#include <string>
#include <string_view>

#include "module/RegistryScriptRunner.h"

namespace orvane {

struct ScriptVariable {
    std::wstring_view name;   // without the percent signs
    std::wstring_view value;  // inserted as it is
};

// Replaces every "%NAME%" by its value; "%%" stands for one percent sign. An unknown name or a
// lone percent sign is a failure.
HRESULT ExpandScriptVariables(std::wstring_view text, std::span<const ScriptVariable> variables, std::wstring& expanded);

// The module path as it must stand inside a quoted script value: every single quote doubled.
// Paths of MAX_PATH (260) characters or more are refused with the insufficient-buffer result.
HRESULT QuoteModulePath(std::wstring_view path, std::wstring& quoted);

// Expands, parses and runs a script text.
HRESULT ProcessRegistryScript(std::wstring_view text, std::span<const ScriptVariable> variables, ScriptMode mode,
                              std::span<const RegistryRoot> roots = StandardRegistryRoots());

// Runs the script held as resource `resourceId` of type "REGISTRY" in `module`, with "%MODULE%"
// standing for that module's full path.
HRESULT UpdateRegistryFromResource(HMODULE module, UINT resourceId, ScriptMode mode);

}  // namespace orvane
