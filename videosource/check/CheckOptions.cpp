#include "videosource/check/CheckOptions.h"

#include "videosource/check/SubtypeNames.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <memory>

#ifndef ORVANE_VERSION
#define ORVANE_VERSION "unknown"
#endif

namespace orvane::dshowcheck {

namespace {

constexpr int kMaxFrames = 100000;

// The command line's description; it fills `options` when parsed.
std::unique_ptr<CLI::App> DescribeCommandLine(CheckOptions& options)
{
    auto app = std::make_unique<CLI::App>(
        "Lists the video input devices every DirectShow application sees, then runs one of them as an\n"
        "application does (source -> Sample Grabber -> Null Renderer) and reports what came.",
        "orvane-dshow-check");
    app->set_help_flag("-h,--help", "this text");
    app->set_version_flag("--version", std::string(ORVANE_VERSION), "the version of the program");
    app->add_flag("--list", options.listOnly, "list the devices only");
    app->add_option("--device", options.device,
                    "the device to run: its number in the list, its name or its board's serial\n"
                    "(default: the first Orvane board)")
        ->type_name("WHICH");
    app->add_option("--format", options.format,
                    "RGB32, RGB24, RGB555, RGB565, Y800, Y10, Y16 or YUY2 (default: the format the\n"
                    "board has now)")
        ->type_name("NAME")
        ->check([](const std::string& name) {
            return SubtypeByName(name) ? std::string() : name + " is none of " + SubtypeNameList();
        });
    app->add_option("--frames", options.frames, "frames to run (default 120)")
        ->type_name("N")
        ->check(CLI::Range(1, kMaxFrames).description(""));
    app->footer("Exit codes: 0 the frames came as they should, 1 they did not (the reason is printed),\n"
                "2 bad command line or no such device.");
    app->get_formatter()->column_width(20);
    return app;
}

}  // namespace

std::string CheckUsage()
{
    CheckOptions unused;
    return DescribeCommandLine(unused)->help();
}

std::optional<CheckOptions> ParseCheckOptions(const std::vector<std::string>& arguments, std::string& error)
{
    CheckOptions options;
    if (std::find(arguments.begin(), arguments.end(), "/?") != arguments.end()) {
        options.help = true;
        return options;
    }
    const auto app = DescribeCommandLine(options);
    try {
        app->parse(std::vector<std::string>(arguments.rbegin(), arguments.rend()));
    } catch (const CLI::CallForHelp&) {
        options.help = true;
    } catch (const CLI::CallForVersion&) {
        options.version = true;
    } catch (const CLI::ParseError& e) {
        error = e.what();
        return std::nullopt;
    }
    return options;
}

std::string CheckVersion()
{
    return std::string("orvane-dshow-check ") + ORVANE_VERSION + " (Orvane grabber module tools)";
}

}  // namespace orvane::dshowcheck
