#pragma once
// Command line of the capture tool.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/common/ToolCommandLine.h"

namespace orvane::capture {

struct CaptureOptions {
    host::CommonOptions common;
    std::string profile;          // empty: the remembered board file, else profiles\orvane-1920x1080-60-dvi.chp beside the program
    std::uint64_t frames = 0;     // 0: run for `seconds`
    double seconds = 0;           // 0 with frames == 0: the default duration
    int buffers = 8;
    std::string format;           // choice name or type number 0..9; empty: the module's current format
    std::string csv;              // empty: capture.csv in the output folder
    int saveEvery = 60;           // 0: no images
    std::string outDir = ".";
    std::string streamTo;         // raw frames to this file, "-" for standard output; empty: none
    bool help = false;
    bool version = false;
    // Time source, written under the host's registry path before the grab starts; unset ones are
    // left as they are.
    std::optional<std::string> timeSource;      // a plug-in DLL, or "System"
    std::optional<std::int32_t> timeOffset;     // microseconds added to every frame time
    std::optional<std::int32_t> timecodeOffset; // frames added to every frame's time code
    std::optional<std::int32_t> timecodeMode;   // 0: 30 fps, 1: 20 fps, 2: 24 fps

    bool StreamsToStandardOutput() const { return streamTo == "-"; }
};

constexpr double kDefaultSeconds = 5.0;

// Parses argv[1..]; nullopt with `error` (one line) on a bad command line. --help and --version
// come back as flags.
std::optional<CaptureOptions> ParseOptions(const std::vector<std::string>& arguments, std::string& error);

std::string UsageText();

}  // namespace orvane::capture
