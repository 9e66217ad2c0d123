#pragma once
// The command line of orvane-dshow-check.
#include <optional>
#include <string>
#include <vector>

namespace orvane::dshowcheck {

struct CheckOptions {
    bool help = false;
    bool listOnly = false;
    std::string device;  // number, friendly name or serial; empty: the first Orvane device
    std::string format;  // subtype name; empty: the device's format in force
    int frames = 120;
};

// nullopt with `error` set for a command line that cannot be used.
std::optional<CheckOptions> ParseCheckOptions(const std::vector<std::string>& arguments, std::string& error);
const char* CheckUsage();

}  // namespace orvane::dshowcheck
