#pragma once
// Owns one open registry key and closes it when it goes.
#include <windows.h>

#include <utility>

namespace orvane {

class RegistryKey {
public:
    RegistryKey() noexcept = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    RegistryKey(RegistryKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
    RegistryKey& operator=(RegistryKey&& other) noexcept
    {
        if (this != &other) {
            Close();
            key_ = std::exchange(other.key_, nullptr);
        }
        return *this;
    }
    ~RegistryKey() { Close(); }

    // Both answer a Win32 status (ERROR_SUCCESS, ERROR_FILE_NOT_FOUND ...).
    LONG Create(HKEY parent, const wchar_t* name, REGSAM access = KEY_READ | KEY_WRITE) noexcept
    {
        Close();
        return RegCreateKeyExW(parent, name, 0, nullptr, 0, access, nullptr, &key_, nullptr);
    }
    LONG Open(HKEY parent, const wchar_t* name, REGSAM access = KEY_READ | KEY_WRITE) noexcept
    {
        Close();
        return RegOpenKeyExW(parent, name, 0, access, &key_);
    }

    HKEY Get() const noexcept { return key_; }

    void Close() noexcept
    {
        if (key_ != nullptr) {
            RegCloseKey(key_);
            key_ = nullptr;
        }
    }

private:
    HKEY key_ = nullptr;
};

}  // namespace orvane
