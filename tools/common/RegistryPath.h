#pragma once
// The key below HKEY_CURRENT_USER that a host names to the module, its registry path: the module
// reads the time-source values directly under it and keeps its own values under the path followed
// by "Orvane" (no separator added). Both tools use one, so that what orvane-ctl sets is what the
// next capture uses.
#include <optional>
#include <string>

namespace orvane::host {

inline constexpr wchar_t kDefaultRegistryPath[] = L"Software\\OrvaneTools\\";

// A path as a user types it, made into one the module can use: trailing separators become one, so
// the module key is "...\Orvane" rather than "...Orvane". Refused, with `error` saying why: an
// empty path (the module would write into HKEY_CURRENT_USER itself), an absolute one (a leading
// separator, or a root key such as HKEY_CURRENT_USER or HKLM first), and one with an empty key
// name inside.
std::optional<std::wstring> NormaliseRegistryPath(const std::string& text, std::string& error);

// The key of the module's own values for a registry path.
std::wstring ModuleKeyOf(const std::wstring& registryPath);

}  // namespace orvane::host
