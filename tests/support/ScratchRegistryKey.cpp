#include "tests/support/ScratchRegistryKey.h"

#include <atomic>
#include <cstdio>

namespace orvane::test {

namespace {
std::atomic<unsigned> g_counter{0};

HKEY OpenOrCreate(const std::string& key)
{
    HKEY handle = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &handle,
                        nullptr) != ERROR_SUCCESS) {
        return nullptr;
    }
    return handle;
}
}  // namespace

ScratchRegistryKey::ScratchRegistryKey()
{
    char name[128];
    std::snprintf(name, sizeof name, "Software\\OrvaneTests\\%lu-%u-%llu", GetCurrentProcessId(), ++g_counter,
                  static_cast<unsigned long long>(GetTickCount64()));
    // The host's key lives one level down, so that keys named after it ("...Orvane" beside it)
    // are inside the container and go with it.
    container_ = name;
    path_ = container_ + "\\Host";
    HKEY key = OpenOrCreate(path_);
    if (key != nullptr) {
        RegCloseKey(key);
    }
}

ScratchRegistryKey::~ScratchRegistryKey()
{
    RegDeleteTreeA(HKEY_CURRENT_USER, container_.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, container_.c_str());
}

std::wstring ScratchRegistryKey::WidePath() const
{
    return std::wstring(path_.begin(), path_.end());
}

bool ScratchRegistryKey::SetRaw(const std::string& key, const std::string& name, DWORD type, const void* data,
                                DWORD size)
{
    HKEY handle = OpenOrCreate(key);
    if (handle == nullptr) {
        return false;
    }
    const LONG status = RegSetValueExA(handle, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(handle);
    return status == ERROR_SUCCESS;
}

bool ScratchRegistryKey::SetString(const std::string& key, const std::string& name, const std::string& value)
{
    return SetRaw(key, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

bool ScratchRegistryKey::SetDword(const std::string& key, const std::string& name, DWORD value)
{
    return SetRaw(key, name, REG_DWORD, &value, sizeof value);
}

std::optional<std::string> ScratchRegistryKey::GetString(const std::string& key, const std::string& name)
{
    char buffer[4096] = {};
    DWORD size = sizeof buffer - 1;
    DWORD type = 0;
    if (RegGetValueA(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                     &type, buffer, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::string(buffer);
}

std::optional<DWORD> ScratchRegistryKey::GetDword(const std::string& key, const std::string& name)
{
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueA(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_REG_DWORD, nullptr, &value, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

bool ScratchRegistryKey::KeyExists(HKEY root, const std::string& key)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(handle);
    return true;
}

}  // namespace orvane::test
