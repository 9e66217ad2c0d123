#include "tools/common/RememberedSettings.h"

#include <algorithm>
#include <cstdint>

#include "platform/RegistryKey.h"
#include "tools/common/ComErrorText.h"
#include "tools/common/RegistryPath.h"

namespace orvane::host {

namespace {

struct Known {
    SettingsKey key;
    const char* name;
    const char* meaning;  // null: forgotten on --reset but not shown
};

// In the order they are shown.
constexpr Known kKnown[] = {
    {SettingsKey::Module, "Board File", "the profile the board is configured from"},
    {SettingsKey::Module, "Board Serial", "the board opened (absent: the first)"},
    {SettingsKey::Module, "ImageFormat", "image format type selected at the start"},
    {SettingsKey::Module, "Image Size X", "region applied at the start"},
    {SettingsKey::Module, "Image Size Y", "region applied at the start"},
    {SettingsKey::Module, "Image Offset X", "region applied at the start"},
    {SettingsKey::Module, "Image Offset Y", "region applied at the start"},
    {SettingsKey::Host, "TimeSourceDLL", "time-source plug-in (System: the system clock)"},
    {SettingsKey::Host, "TimeSourceOffset", "microseconds added to every frame time"},
    {SettingsKey::Host, "LTCTimeSourceOffset", "frames added to every frame's time code"},
    {SettingsKey::Host, "LTCTimeSourceMode", "time-code rate: 0 = 30, 1 = 20, other = 24 fps"},
    {SettingsKey::Module, "Unattended", nullptr},
};

std::string Id(SettingsKey key, const char* name)
{
    return (key == SettingsKey::Module ? "module:" : "host:") + std::string(name);
}

// The value as text: strings as they are, numbers as signed 32-bit decimals (as the module reads
// them), anything else by its size.
std::string TextOf(DWORD type, const std::vector<BYTE>& data)
{
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        std::string text(data.begin(), data.end());
        return text.substr(0, text.find('\0'));
    }
    if (data.size() <= 4) {
        std::uint32_t value = 0;
        for (size_t i = 0; i < data.size(); ++i) {
            value |= static_cast<std::uint32_t>(data[i]) << (8 * i);
        }
        return std::to_string(static_cast<std::int32_t>(value));
    }
    return "(" + std::to_string(data.size()) + " bytes)";
}

bool ReadRaw(const std::wstring& keyPath, const char* name, DWORD& type, std::vector<BYTE>& data)
{
    RegistryKey key;
    if (key.Open(HKEY_CURRENT_USER, keyPath.c_str(), KEY_QUERY_VALUE) != ERROR_SUCCESS) {
        return false;
    }
    DWORD size = 0;
    if (RegQueryValueExA(key.Get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        return false;
    }
    data.assign(size, 0);
    if (RegQueryValueExA(key.Get(), name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) {
        return false;
    }
    data.resize(size);
    return true;
}

}  // namespace

RememberedSettings::RememberedSettings(std::wstring registryPath) : registryPath_(std::move(registryPath)) {}

std::wstring RememberedSettings::KeyPath(SettingsKey key) const
{
    return key == SettingsKey::Module ? ModuleKeyOf(registryPath_) : registryPath_;
}

bool RememberedSettings::Write(SettingsKey key, const char* name, DWORD type, const BYTE* data, DWORD size, std::string& error)
{
    const std::string id = Id(key, name);
    if (replaced_.find(id) == replaced_.end()) {
        Previous previous;
        previous.present = ReadRaw(KeyPath(key), name, previous.type, previous.data);
        replaced_[id] = std::move(previous);
    }
    RegistryKey handle;
    LONG status = handle.Create(HKEY_CURRENT_USER, KeyPath(key).c_str(), KEY_SET_VALUE);
    if (status == ERROR_SUCCESS) {
        status = RegSetValueExA(handle.Get(), name, 0, type, data, size);
    }
    if (status != ERROR_SUCCESS) {
        error = "cannot write \"" + std::string(name) + "\" under HKCU\\" + Narrow(KeyPath(key)) + ": " +
                DescribeFailure(HRESULT_FROM_WIN32(status));
        return false;
    }
    if (std::find(givenNow_.begin(), givenNow_.end(), id) == givenNow_.end()) {
        givenNow_.push_back(id);
    }
    return true;
}

bool RememberedSettings::SetString(SettingsKey key, const char* name, const std::string& value, std::string& error)
{
    return Write(key, name, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() + 1), error);
}

bool RememberedSettings::SetDword(SettingsKey key, const char* name, DWORD value, std::string& error)
{
    return Write(key, name, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value, error);
}

void RememberedSettings::Restore(SettingsKey key, const char* name)
{
    const std::string id = Id(key, name);
    const auto previous = replaced_.find(id);
    if (previous == replaced_.end()) {
        return;
    }
    RegistryKey handle;
    if (handle.Open(HKEY_CURRENT_USER, KeyPath(key).c_str(), KEY_SET_VALUE) == ERROR_SUCCESS) {
        if (previous->second.present) {
            RegSetValueExA(handle.Get(), name, 0, previous->second.type, previous->second.data.data(),
                           static_cast<DWORD>(previous->second.data.size()));
        } else {
            RegDeleteValueA(handle.Get(), name);
        }
    }
    replaced_.erase(previous);
    givenNow_.erase(std::remove(givenNow_.begin(), givenNow_.end(), id), givenNow_.end());
}

std::string RememberedSettings::ReadString(SettingsKey key, const char* name) const
{
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!ReadRaw(KeyPath(key), name, type, data) || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return {};
    }
    return TextOf(type, data);
}

std::vector<RememberedValue> RememberedSettings::Read() const
{
    std::vector<RememberedValue> values;
    for (const Known& known : kKnown) {
        DWORD type = 0;
        std::vector<BYTE> data;
        if (known.meaning == nullptr || !ReadRaw(KeyPath(known.key), known.name, type, data)) {
            continue;
        }
        const std::string id = Id(known.key, known.name);
        values.push_back({known.name, TextOf(type, data), known.meaning,
                          std::find(givenNow_.begin(), givenNow_.end(), id) != givenNow_.end()});
    }
    return values;
}

std::vector<std::string> RememberedSettings::Forget()
{
    std::vector<std::string> removed;
    for (const Known& known : kKnown) {
        RegistryKey key;
        if (key.Open(HKEY_CURRENT_USER, KeyPath(known.key).c_str(), KEY_SET_VALUE) == ERROR_SUCCESS &&
            RegDeleteValueA(key.Get(), known.name) == ERROR_SUCCESS) {
            removed.push_back(known.name);
        }
    }
    replaced_.clear();
    givenNow_.clear();
    return removed;
}

void RememberedSettings::Print(std::FILE* out, const char* indent) const
{
    const std::vector<RememberedValue> values = Read();
    std::fprintf(out, "%sremembered under HKCU\\%s (--reset forgets them)%s\n", indent, Narrow(registryPath_).c_str(),
                 values.empty() ? ": nothing" : ":");
    for (const RememberedValue& value : values) {
        std::fprintf(out, "%s  %-20s = %s (%s; %s)\n", indent, value.name.c_str(), value.text.c_str(),
                     value.givenNow ? "given now" : "remembered", value.meaning.c_str());
    }
}

}  // namespace orvane::host
