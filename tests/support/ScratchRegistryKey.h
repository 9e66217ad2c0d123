#pragma once
// A registry key below HKEY_CURRENT_USER that belongs to one test and is removed, with everything
// below it and every key named after it (the module key is the host's path plus "Orvane"), when
// the test ends.
#include <windows.h>

#include <optional>
#include <string>

namespace orvane::test {

class ScratchRegistryKey {
public:
    ScratchRegistryKey();
    ~ScratchRegistryKey();
    ScratchRegistryKey(const ScratchRegistryKey&) = delete;
    ScratchRegistryKey& operator=(const ScratchRegistryKey&) = delete;

    // Path below HKCU, without a trailing separator (what a host passes as its registry path).
    const std::string& Path() const { return path_; }
    std::wstring WidePath() const;

    // Values of a subkey path relative to HKCU (empty = this key); the key is created when missing.
    static bool SetString(const std::string& key, const std::string& name, const std::string& value);
    static bool SetDword(const std::string& key, const std::string& name, DWORD value);
    static bool SetRaw(const std::string& key, const std::string& name, DWORD type, const void* data, DWORD size);
    static std::optional<std::string> GetString(const std::string& key, const std::string& name);
    static std::optional<DWORD> GetDword(const std::string& key, const std::string& name);
    static bool KeyExists(HKEY root, const std::string& key);

private:
    std::string container_;
    std::string path_;
};

}  // namespace orvane::test
