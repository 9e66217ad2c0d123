#pragma once
// Carries out a parsed registry script: registration writes every key and value it names,
// removal takes away what registration wrote while sparing keys marked NoRemove and keys that
// still hold subkeys the script does not name.
#include <windows.h>

#include <span>
#include <string_view>

#include "module/RegistryScriptParser.h"

namespace orvane {

enum class ScriptMode { Register, Unregister };

// Which open key a root name of the script stands for.
struct RegistryRoot {
    std::wstring_view name;
    HKEY key;
};

// HKCR, HKCU, HKLM and HKU, in their short and long spellings.
std::span<const RegistryRoot> StandardRegistryRoots();

// Stops at the first failure and answers it as an HRESULT. A root name not in `roots` is a failure;
// keys or values that are already missing are not, in removal mode.
HRESULT RunRegistryScript(const ParsedScript& script, ScriptMode mode, std::span<const RegistryRoot> roots);

}  // namespace orvane
