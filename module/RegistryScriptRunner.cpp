#include "module/RegistryScriptRunner.h"

#include <cwctype>
#include <vector>

#include "platform/RegistryKey.h"

namespace orvane {

namespace {

const RegistryRoot kStandardRoots[] = {
    {L"HKCR", HKEY_CLASSES_ROOT},   {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {L"HKCU", HKEY_CURRENT_USER},   {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {L"HKLM", HKEY_LOCAL_MACHINE},  {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {L"HKU", HKEY_USERS},           {L"HKEY_USERS", HKEY_USERS},
};

bool SameName(std::wstring_view a, std::wstring_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::towupper(a[i]) != std::towupper(b[i])) {
            return false;
        }
    }
    return true;
}

bool Missing(LONG status)
{
    return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND;
}

LONG SetString(HKEY key, const wchar_t* name, const std::wstring& data)
{
    const DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()), bytes);
}

LONG DeleteTreeIfPresent(HKEY parent, const std::wstring& name)
{
    const LONG status = RegDeleteTreeW(parent, name.c_str());
    return Missing(status) ? ERROR_SUCCESS : status;
}

LONG RegisterKey(HKEY parent, const ScriptKey& key)
{
    if (key.removal == KeyRemoval::ForceRemove) {
        if (const LONG status = DeleteTreeIfPresent(parent, key.name); status != ERROR_SUCCESS) {
            return status;
        }
    }
    RegistryKey opened;
    if (const LONG status = opened.Create(parent, key.name.c_str()); status != ERROR_SUCCESS) {
        return status;
    }
    if (key.defaultValue) {
        if (const LONG status = SetString(opened.Get(), nullptr, *key.defaultValue); status != ERROR_SUCCESS) {
            return status;
        }
    }
    for (const ScriptValue& value : key.values) {
        if (const LONG status = SetString(opened.Get(), value.name.c_str(), value.data); status != ERROR_SUCCESS) {
            return status;
        }
    }
    for (const ScriptKey& subkey : key.subkeys) {
        if (const LONG status = RegisterKey(opened.Get(), subkey); status != ERROR_SUCCESS) {
            return status;
        }
    }
    return ERROR_SUCCESS;
}

LONG UnregisterKey(HKEY parent, const ScriptKey& key)
{
    if (key.removal == KeyRemoval::ForceRemove) {
        return DeleteTreeIfPresent(parent, key.name);
    }
    RegistryKey opened;
    if (const LONG status = opened.Open(parent, key.name.c_str()); status != ERROR_SUCCESS) {
        return Missing(status) ? ERROR_SUCCESS : status;
    }
    for (const ScriptKey& subkey : key.subkeys) {
        if (const LONG status = UnregisterKey(opened.Get(), subkey); status != ERROR_SUCCESS) {
            return status;
        }
    }
    for (const ScriptValue& value : key.values) {
        const LONG status = RegDeleteValueW(opened.Get(), value.name.c_str());
        if (status != ERROR_SUCCESS && !Missing(status)) {
            return status;
        }
    }
    if (key.removal == KeyRemoval::NoRemove) {
        return ERROR_SUCCESS;
    }
    // Somebody else's subkeys keep the key alive.
    DWORD subkeyCount = 0;
    if (const LONG status = RegQueryInfoKeyW(opened.Get(), nullptr, nullptr, nullptr, &subkeyCount, nullptr, nullptr,
                                             nullptr, nullptr, nullptr, nullptr, nullptr);
        status != ERROR_SUCCESS) {
        return status;
    }
    opened.Close();
    if (subkeyCount != 0) {
        return ERROR_SUCCESS;
    }
    const LONG status = RegDeleteKeyW(parent, key.name.c_str());
    return Missing(status) ? ERROR_SUCCESS : status;
}

}  // namespace

std::span<const RegistryRoot> StandardRegistryRoots()
{
    return kStandardRoots;
}

HRESULT RunRegistryScript(const ParsedScript& script, ScriptMode mode, std::span<const RegistryRoot> roots)
{
    if (!script.Ok()) {
        return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    }
    // Every root name is checked before anything is written.
    std::vector<HKEY> rootKeys;
    for (const ScriptRoot& root : script.roots) {
        HKEY rootKey = nullptr;
        for (const RegistryRoot& candidate : roots) {
            if (SameName(candidate.name, root.name)) {
                rootKey = candidate.key;
                break;
            }
        }
        if (rootKey == nullptr) {
            return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
        }
        rootKeys.push_back(rootKey);
    }
    for (size_t i = 0; i < script.roots.size(); ++i) {
        for (const ScriptKey& key : script.roots[i].keys) {
            const LONG status =
                mode == ScriptMode::Register ? RegisterKey(rootKeys[i], key) : UnregisterKey(rootKeys[i], key);
            if (status != ERROR_SUCCESS) {
                return HRESULT_FROM_WIN32(status);
            }
        }
    }
    return S_OK;
}

}  // namespace orvane
