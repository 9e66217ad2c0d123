#include "tools/common/ProfileInfo.h"

#include <windows.h>

#include <cstdlib>

namespace orvane::host {

namespace {

constexpr char kSection[] = "ORVANEHD";

std::string ReadValue(const char* key, const std::string& file)
{
    char value[256] = {};
    GetPrivateProfileStringA(kSection, key, "", value, sizeof value, file.c_str());
    return value;
}

double ReadNumber(const char* key, const std::string& file)
{
    const std::string text = ReadValue(key, file);
    return text.empty() ? 0 : std::strtod(text.c_str(), nullptr);
}

}  // namespace

bool FileExists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string FullPath(const std::string& path)
{
    char full[MAX_PATH * 2] = {};
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    if (length == 0 || length >= sizeof full) {
        return {};
    }
    return std::string(full, length);
}

std::string ProgramFolder()
{
    char path[MAX_PATH * 2] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path);
    folder.resize(folder.find_last_of("\\/") + 1);
    return folder;
}

std::optional<ProfileInfo> ReadProfile(const std::string& path)
{
    if (!FileExists(path)) {
        return std::nullopt;
    }
    ProfileInfo info;
    info.description = ReadValue("Description", path);
    info.horizontalFrequencyHz = ReadNumber("Horizontal Frequency", path);
    info.verticalTotalLines = ReadNumber("Vertical Total", path);
    info.width = static_cast<int>(ReadNumber("Image Width", path));
    info.height = static_cast<int>(ReadNumber("Image Height", path));
    return info;
}

}  // namespace orvane::host
