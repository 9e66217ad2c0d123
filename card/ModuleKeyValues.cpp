// The card's own values under its module key, read once when the card opens.
#include "card/ModuleKeyValues.h"

#include <cstring>
#include <vector>

#include "platform/RegistryKey.h"

namespace orvane {

namespace {

constexpr char kBoardSerialValue[] = "Board Serial";
constexpr char kUnattendedValue[] = "Unattended";

std::string Narrow(const std::wstring& text)
{
    const int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), narrow.data(), size, nullptr, nullptr);
    }
    return narrow;
}

// The text of a string value, cut at its first terminator; false when it is there but not text.
bool ReadText(HKEY key, const char* name, std::string& text)
{
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        return true;  // absent
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        return false;
    }
    std::vector<char> buffer(size + 1, '\0');
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS) {
        return true;  // gone or grown since: as if absent
    }
    text.assign(buffer.data(), strnlen(buffer.data(), size));
    return true;
}

}  // namespace

ModuleKeyValues ReadModuleKeyValues(const std::wstring& moduleKey)
{
    ModuleKeyValues values;
    values.keyText = "HKCU\\" + Narrow(moduleKey);
    RegistryKey key;
    if (moduleKey.empty() || key.Open(HKEY_CURRENT_USER, moduleKey.c_str(), KEY_READ) != ERROR_SUCCESS) {
        return values;
    }
    values.boardSerialNotText = !ReadText(key.Get(), kBoardSerialValue, values.boardSerial);

    DWORD type = 0;
    DWORD flag = 0;
    DWORD size = sizeof flag;
    if (RegQueryValueExA(key.Get(), kUnattendedValue, nullptr, &type, reinterpret_cast<BYTE*>(&flag), &size) ==
            ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof flag) {
        values.unattended = flag != 0;
    }
    return values;
}

bool ReadBoardFile(HKEY key, char (&path)[260])
{
    DWORD type = 0;
    DWORD size = sizeof path;
    std::memset(path, 0, sizeof path);
    if (RegQueryValueExA(key, "Board File", nullptr, &type, reinterpret_cast<BYTE*>(path), &size) != ERROR_SUCCESS) {
        return false;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        return false;
    }
    if (size == 0 || std::memchr(path, '\0', size) == nullptr) {
        return false;
    }
    return true;
}

}  // namespace orvane
