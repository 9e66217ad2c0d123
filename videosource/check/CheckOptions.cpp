#include "videosource/check/CheckOptions.h"

#include "tools/common/OptionValue.h"
#include "videosource/check/SubtypeNames.h"

namespace orvane::dshowcheck {

namespace {

constexpr int kMaxFrames = 100000;

}  // namespace

const char* CheckUsage()
{
    return "Usage: orvane-dshow-check [options]\n"
           "Lists the video input devices every DirectShow application sees, then runs one of them\n"
           "as an application does (source -> Sample Grabber -> Null Renderer) and reports what came.\n"
           "  --list            list the devices only\n"
           "  --device WHICH    the device to run: its number in the list, its name or its board's\n"
           "                    serial (default: the first Orvane board)\n"
           "  --format NAME     RGB32, RGB24, RGB555, RGB565, Y800, Y10, Y16 or YUY2 (default: the\n"
           "                    format the board has now)\n"
           "  --frames N        frames to run (default 120)\n"
           "  --help            this text\n"
           "Exit codes: 0 the frames came as they should, 1 they did not (the reason is printed),\n"
           "2 bad command line or no such device.\n";
}

std::optional<CheckOptions> ParseCheckOptions(const std::vector<std::string>& arguments, std::string& error)
{
    CheckOptions options;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        std::string value;
        if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument == "--list") {
            options.listOnly = true;
        } else if (argument == "--device") {
            if (!host::TakeOptionValue(arguments, i, options.device, error)) {
                return std::nullopt;
            }
        } else if (argument == "--format") {
            if (!host::TakeOptionValue(arguments, i, options.format, error)) {
                return std::nullopt;
            }
            if (!SubtypeByName(options.format)) {
                error = "--format " + options.format + " is none of " + SubtypeNameList();
                return std::nullopt;
            }
        } else if (argument == "--frames") {
            if (!host::TakeOptionValue(arguments, i, value, error)) {
                return std::nullopt;
            }
            if (value.empty() || value.size() > 6 || value.find_first_not_of("0123456789") != std::string::npos ||
                std::stoi(value) < 1 || std::stoi(value) > kMaxFrames) {
                error = "--frames needs a number from 1 to " + std::to_string(kMaxFrames);
                return std::nullopt;
            }
            options.frames = std::stoi(value);
        } else {
            error = "unknown option " + argument;
            return std::nullopt;
        }
    }
    return options;
}

}  // namespace orvane::dshowcheck
