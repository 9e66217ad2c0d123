#pragma once
// The command line of orvane-ctl.
#include <optional>
#include <string>
#include <vector>

namespace orvane::ctl {

enum class Answer { Ask, Yes, No };

struct CtlOptions {
    bool help = false;
    bool list = false;
    bool info = false;
    bool whiteBalance = false;
    Answer answer = Answer::Ask;
    bool showProfile = false;     // --profile without a file
    std::string profile;          // --profile FILE: made the board file before the grabber starts
    bool browse = false;
    bool direct = false;
    std::wstring registryPath = L"Software\\OrvaneCtl\\";
    std::vector<std::string> gets;                             // NAME or id
    std::vector<std::pair<std::string, std::string>> sets;     // NAME or id, value text
};

// nullopt with `error` set for a command line that cannot be used.
std::optional<CtlOptions> ParseOptions(const std::vector<std::string>& arguments, std::string& error);
const char* UsageText();

}  // namespace orvane::ctl
