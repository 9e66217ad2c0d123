#pragma once
// The command line of orvane-dshow-check (parsed with CLI11, as the tools' are).
#include <optional>
#include <string>
#include <vector>

namespace orvane::dshowcheck {

struct CheckOptions {
    bool help = false;
    bool version = false;
    bool listOnly = false;
    std::string device;  // number, friendly name or serial; empty: the first Orvane device
    std::string format;  // subtype name; empty: the device's format in force
    int frames = 120;
};

// nullopt with `error` set for a command line that cannot be used.
std::optional<CheckOptions> ParseCheckOptions(const std::vector<std::string>& arguments, std::string& error);
std::string CheckUsage();
// "orvane-dshow-check 1.1.0 (Orvane grabber module tools)".
std::string CheckVersion();

}  // namespace orvane::dshowcheck
