// The names of the card's registry keys and the writes into its module key.
#include <cstring>

#include "buffers/TripleList.h"
#include "platform/RegistryKey.h"

void CTripleList::SetNames(const wchar_t* registryPath, const wchar_t* boardName)
{
    registryPath_.reset();
    if (registryPath != nullptr) {
        registryPath_.emplace(registryPath);
    }
    boardName_ = boardName != nullptr ? boardName : L"";
    moduleKey_ = (registryPath != nullptr ? registryPath : L"") + boardName_;
}

LONG CTripleList::WriteModuleValue(const char* valueName, DWORD type, const void* data, DWORD size)
{
    // Without names the key would be HKEY_CURRENT_USER itself: write nothing rather than that.
    if (moduleKey_.empty()) {
        return ERROR_BADKEY;
    }
    orvane::RegistryKey key;
    const LONG status = key.Create(HKEY_CURRENT_USER, moduleKey_.c_str(), KEY_READ | KEY_WRITE);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    return RegSetValueExA(key.Get(), valueName, 0, type, static_cast<const BYTE*>(data), size);
}

LONG CTripleList::SetRegistryBinary(const char* valueName, const void* data, DWORD size)
{
    if (data == nullptr && size != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    return WriteModuleValue(valueName, REG_BINARY, data, size);
}

LONG CTripleList::SetRegistryDword(DWORD value, const char* valueName)
{
    return WriteModuleValue(valueName, REG_DWORD, &value, sizeof value);
}

LONG CTripleList::SetRegistryString(const char* text, const char* valueName)
{
    if (text == nullptr) {
        return ERROR_INVALID_DATA;
    }
    return WriteModuleValue(valueName, REG_SZ, text, static_cast<DWORD>(std::strlen(text) + 1));
}
