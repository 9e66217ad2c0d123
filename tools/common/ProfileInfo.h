#pragma once
// What a host-side program reads from a common hardware profile (INI text, section "ORVANEHD"):
// the nominal frame rate (horizontal frequency / vertical total) and the image size.
#include <optional>
#include <string>

namespace orvane::host {

struct ProfileInfo {
    std::string description;
    double horizontalFrequencyHz = 0;
    double verticalTotalLines = 0;
    int width = 0;
    int height = 0;

    // 0 when the profile does not give both timing values.
    double NominalFrameRate() const
    {
        return horizontalFrequencyHz > 0 && verticalTotalLines > 0 ? horizontalFrequencyHz / verticalTotalLines : 0;
    }
};

// Reads the profile at a full path; nullopt when the file does not exist.
std::optional<ProfileInfo> ReadProfile(const std::string& path);

// Full path of `path` (relative paths against the current folder); empty when it cannot be formed.
std::string FullPath(const std::string& path);

// Folder of the running program, with a trailing backslash.
std::string ProgramFolder();

bool FileExists(const std::string& path);

}  // namespace orvane::host
