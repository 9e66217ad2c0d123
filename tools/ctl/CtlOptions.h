#pragma once
// The command line of orvane-ctl.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tools/common/ToolCommandLine.h"
#include "tools/common/WindowGuard.h"

namespace orvane::ctl {

struct CtlOptions {
    host::CommonOptions common;
    bool help = false;
    bool version = false;
    bool list = false;
    bool info = false;
    bool whiteBalance = false;
    host::QuestionAnswer answer = host::QuestionAnswer::Ask;
    bool showProfile = false;     // --profile without a file
    std::string profile;          // --profile FILE: made the board file before the grabber starts
    bool browse = false;
    std::vector<std::string> gets;                             // NAME or id
    std::vector<std::pair<std::string, std::string>> sets;     // NAME or id, value text

    // Whether anything needs the grabber object (--reset and the lists alone do not).
    bool NeedsGrabber() const
    {
        return list || info || whiteBalance || showProfile || !profile.empty() || browse || !gets.empty() || !sets.empty();
    }
};

// nullopt with `error` (one line) for a command line that cannot be used; --help and --version
// come back as flags.
std::optional<CtlOptions> ParseOptions(const std::vector<std::string>& arguments, std::string& error);
std::string UsageText();

}  // namespace orvane::ctl
