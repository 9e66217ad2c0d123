#include "tools/common/RegistryPath.h"

#include <algorithm>
#include <cctype>

#include "tools/common/ComErrorText.h"

namespace orvane::host {

namespace {

bool NamesRootKey(const std::string& first)
{
    static constexpr const char* kRoots[] = {"HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_CLASSES_ROOT", "HKEY_USERS",
                                             "HKEY_CURRENT_CONFIG", "HKCU", "HKLM", "HKCR", "HKU", "HKCC", "Computer"};
    for (const char* root : kRoots) {
        const std::string name = root;
        if (first.size() == name.size() &&
            std::equal(first.begin(), first.end(), name.begin(), [](char a, char b) {
                return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
            })) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::optional<std::wstring> NormaliseRegistryPath(const std::string& text, std::string& error)
{
    std::string path = text;
    while (!path.empty() && path.back() == '\\') {
        path.pop_back();
    }
    if (path.find_first_not_of(" \t") == std::string::npos) {
        error = "an empty registry path would put the module's values into HKEY_CURRENT_USER itself: give a key below it, "
                "such as Software\\MyCapture\\";
        return std::nullopt;
    }
    if (path.front() == '\\' || path.front() == '/' || NamesRootKey(path.substr(0, path.find('\\')))) {
        error = "\"" + text + "\" is absolute: give the path below HKEY_CURRENT_USER, such as Software\\MyCapture\\";
        return std::nullopt;
    }
    if (path.find("\\\\") != std::string::npos) {
        error = "\"" + text + "\" has an empty key name between two separators";
        return std::nullopt;
    }
    return Widen(path + "\\");
}

std::wstring ModuleKeyOf(const std::wstring& registryPath)
{
    return registryPath + L"Orvane";
}

}  // namespace orvane::host
