#pragma once
// The module's "Image Format" setting as a host sees it through the settings interface: its id,
// the choices it offers, and picking one by name or by type number.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "CorvathSdk.h"

namespace orvane::host {

struct FormatOption {
    std::string name;  // empty for a type the module does not offer by name
    LONG type = 0;
};

struct ImageFormatSetting {
    LONG id = 0;
    std::vector<FormatOption> options;  // in the module's order
};

// Finds the setting called "Image Format" and reads its choices. S_FALSE when the module has no
// such setting; a failure (E_NOTIMPL from a module without settings) is passed on.
HRESULT ReadImageFormatSetting(ICorvathSettingsProp& settings, ImageFormatSetting& setting);

// A type number on its own ("8") is taken as it is, offered or not: the module accepts types it
// does not list. Anything else must be one of the offered names, ignoring case and blanks
// ("mono10" picks "Mono 10"). nullopt when it names nothing offered.
std::optional<FormatOption> MatchFormat(const std::string& request, const std::vector<FormatOption>& options);

// The offered names, quoted and comma-separated, for telling the user what there is.
std::string ListChoices(const std::vector<FormatOption>& options);

// The type behind what the image interface reports, for a module that does not tell the type
// itself: the host format code separates all but the luma-only formats, which read as their mono
// twins (the same layout). -1 when nothing fits.
LONG FormatTypeFromCode(LONG formatCode, LONG significantBits);

}  // namespace orvane::host
