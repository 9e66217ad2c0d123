#pragma once
// The values a host's registry path remembers from one run to the next and that shape a capture:
// under the module key the board file, the board, the image format and the region; directly under
// the path the time source and its offsets. The tools write the ones given on their command line,
// put back what they replaced when the module would not use them, show them all, marked as given
// now or remembered, and forget them on --reset.
#include <windows.h>

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace orvane::host {

enum class SettingsKey {
    Host,    // the registry path itself: the time-source values
    Module,  // the path followed by "Orvane": the module's own values
};

struct RememberedValue {
    std::string name;     // the registry value's name, e.g. "ImageFormat"
    std::string text;     // its value as text
    std::string meaning;  // what it is, e.g. "microseconds added to every frame time"
    bool givenNow = false;
};

class RememberedSettings {
public:
    explicit RememberedSettings(std::wstring registryPath);

    const std::wstring& RegistryPath() const { return registryPath_; }

    // Writes a value given now, keeping the one it replaces for Restore. False with `error` when the
    // key cannot be written.
    bool SetString(SettingsKey key, const char* name, const std::string& value, std::string& error);
    bool SetDword(SettingsKey key, const char* name, DWORD value, std::string& error);

    // Puts back the value that SetString/SetDword replaced, or removes the value when there was none.
    void Restore(SettingsKey key, const char* name);

    // A string value as it is now; empty when absent.
    std::string ReadString(SettingsKey key, const char* name) const;

    // Every value present that shapes a capture, in a fixed order.
    std::vector<RememberedValue> Read() const;

    // Removes every value this class knows of; the names removed.
    std::vector<std::string> Forget();

    // "remembered under HKCU\...": one line per value, for the summaries.
    void Print(std::FILE* out, const char* indent) const;

private:
    struct Previous {
        bool present = false;
        DWORD type = 0;
        std::vector<BYTE> data;
    };

    std::wstring KeyPath(SettingsKey key) const;
    bool Write(SettingsKey key, const char* name, DWORD type, const BYTE* data, DWORD size, std::string& error);

    std::wstring registryPath_;
    std::map<std::string, Previous> replaced_;  // by key and name
    std::vector<std::string> givenNow_;
};

}  // namespace orvane::host
