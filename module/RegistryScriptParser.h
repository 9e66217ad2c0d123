#pragma once
// Reads the registry script: root keys holding nested keys, each key optionally with a default
// string value, named string values ("val name = s '...'") and a removal marker.
//
//   HKCR
//   {
//       NoRemove CLSID
//       {
//           ForceRemove {guid} = s 'Class name'
//           {
//               'TypeLib' = s '{guid}'
//               InprocServer32 = s 'C:\path\module.dll'
//               {
//                   val ThreadingModel = s 'Apartment'
//               }
//           }
//       }
//   }
//
// Tokens are separated by white space; a single-quoted token may hold anything, with '' standing
// for one quote. Keywords (ForceRemove, NoRemove, val, s) are not case-sensitive; a quoted name is
// never a keyword.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

enum class KeyRemoval {
    Normal,       // removal deletes the values and subkeys the script names, then the key once it is empty
    ForceRemove,  // registration replaces the whole key; removal deletes it with everything below it
    NoRemove,     // removal never deletes the key itself, only what the script names below it
};

struct ScriptValue {
    std::wstring name;
    std::wstring data;
};

struct ScriptKey {
    std::wstring name;
    KeyRemoval removal = KeyRemoval::Normal;
    std::optional<std::wstring> defaultValue;
    std::vector<ScriptValue> values;
    std::vector<ScriptKey> subkeys;
};

struct ScriptRoot {
    std::wstring name;  // as written, e.g. "HKCR"
    std::vector<ScriptKey> keys;
};

struct ParsedScript {
    std::vector<ScriptRoot> roots;
    std::string error;  // empty when the text was read completely
    bool Ok() const { return error.empty(); }
};

// Reads the whole text; variables must already be replaced. Nothing is returned in part: on a
// syntax error `roots` is empty and `error` says what and where.
ParsedScript ParseRegistryScript(std::wstring_view text);

}  // namespace orvane
