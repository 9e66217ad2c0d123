#include "tools/capture/CaptureOptions.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <limits>
#include <memory>

namespace orvane::capture {

namespace {

std::unique_ptr<CLI::App> MakeApp(CaptureOptions& o)
{
    auto app = std::make_unique<CLI::App>("", "orvane-capture");
    host::DescribeTool(*app,
                       "Captures live video from the Orvane HD grabber through the Orvane module, as a host does, and "
                       "reports rate, drops, time stamps and latency.",
                       "Without --profile the board file remembered under the registry path is used, else the bundled\n"
                       "profiles\\orvane-1920x1080-60-dvi.chp. Given values (profile, board, time source, offsets) are\n"
                       "remembered for later runs of both tools; the summary shows every remembered value in force.\n"
                       "The CSV's columns are listed in the README (\"The CSV\").");
    app->add_option("--profile", o.profile, "hardware profile (.chp) to capture with; remembered")->type_name("FILE");
    app->add_option("--frames", o.frames, "stop after N frames, N >= 1 (with --seconds: whichever comes first)")
        ->type_name("N")
        ->check([](const std::string& text) {
            // Unsigned conversion would take "-3" as 2^64 - 3.
            return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos ? std::string()
                                                                                              : "a whole number of frames, not " + text;
        })
        ->check(CLI::Range(std::uint64_t{1}, std::numeric_limits<std::uint64_t>::max()).description(""));
    app->add_option("--seconds", o.seconds, "stop after S seconds, 0.001 .. 10000000 (default 5 when --frames is not given)")
        ->type_name("S")
        ->check(CLI::Range(1e-3, 1e7).description(""));
    app->add_option("--buffers", o.buffers, "frame buffers to allocate, 1 .. 1000 (default 8)")
        ->type_name("N")
        ->check(CLI::Range(1, 1000).description(""));
    app->add_option("--format", o.format,
                    "image format: a name the module offers (\"BGR 32\", \"Mono 16\", ...; case and blanks do not matter) or a "
                    "type number 0..9 (default: the format the module has)")
        ->type_name("NAME")
        ->check([](const std::string& text) -> std::string {
            // Names are checked against what the module offers once it is open; a number now.
            if (text.find_first_not_of(" \t") == std::string::npos) {
                return "an image format name or a type number from 0 to 9";
            }
            if (text.find_first_not_of("0123456789") == std::string::npos && (text.size() > 1 || text[0] > '9')) {
                return "a type number from 0 to 9, not " + text;
            }
            return {};
        });
    app->add_option("--csv", o.csv, "per-frame times, written as the frames arrive (default capture.csv in the output folder)")
        ->type_name("FILE");
    app->add_option("--save-every", o.saveEvery,
                    "save every N-th frame as a PNG, starting with the first; grey formats as 8-bit grey, the others as "
                    "24-bit colour (default 60; 0 saves none; at most 1000000)")
        ->type_name("N")
        ->check(CLI::Range(0, 1000000).description(""));
    app->add_option("--out-dir", o.outDir, "folder for the CSV and the images (default: the current folder)")->type_name("DIR");
    app->add_option("--stream-to", o.streamTo,
                    "write every frame's raw pixels as they arrive to FILE, or to standard output with -, which then carries "
                    "nothing else (the frame size is said on standard error)")
        ->type_name("FILE|-");
    app->add_option("--timesource", o.timeSource, "time-source plug-in DLL for the frame times, or System for the system clock")
        ->type_name("DLL|System")
        ->check([](const std::string& text) {
            return !text.empty() && text.size() <= 259 ? std::string() : "a DLL name or System of 1 to 259 characters";
        });
    app->add_option("--time-offset", o.timeOffset, "microseconds added to every frame time")->type_name("MICROSECONDS");
    app->add_option("--timecode-offset", o.timecodeOffset, "frames added to the time code in every frame's first four bytes")
        ->type_name("FRAMES");
    app->add_option("--timecode-mode", o.timecodeMode, "time-code rate: 0 = 30, 1 = 20, 2 = 24 frames per second")
        ->type_name("0|1|2")
        ->check(CLI::Range(0, 2).description(""));
    host::AddCommonOptions(*app, o.common);
    host::WrapHelp(*app);
    return app;
}

}  // namespace

std::string UsageText()
{
    CaptureOptions options;
    return MakeApp(options)->help();
}

std::optional<CaptureOptions> ParseOptions(const std::vector<std::string>& arguments, std::string& error)
{
    CaptureOptions options;
    const auto app = MakeApp(options);
    switch (host::ParseArguments(*app, arguments, error)) {
    case host::ParseOutcome::Help:
        options.help = true;
        return options;
    case host::ParseOutcome::Version:
        options.version = true;
        return options;
    case host::ParseOutcome::Refused:
        return std::nullopt;
    case host::ParseOutcome::Run:
        break;
    }
    if (!host::FinishCommonOptions(*app, options.common, error)) {
        return std::nullopt;
    }
    if (options.StreamsToStandardOutput() && options.common.json) {
        error = "--stream-to - and --json both want standard output: stream to a file, or leave --json out";
        return std::nullopt;
    }
    if (options.frames == 0 && options.seconds == 0) {
        options.seconds = kDefaultSeconds;
    }
    return options;
}

}  // namespace orvane::capture
