#include "tools/capture/CaptureOptions.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "tools/common/OptionValue.h"

namespace orvane::capture {

namespace {

bool ParseUnsigned(const std::string& text, std::uint64_t& value)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    errno = 0;
    value = std::strtoull(text.c_str(), nullptr, 10);
    return errno == 0;
}

bool ParseSigned32(const std::string& text, std::int32_t& value)
{
    const size_t digits = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (text.size() == digits || text.find_first_not_of("0123456789", digits) != std::string::npos) {
        return false;
    }
    errno = 0;
    const long long parsed = std::strtoll(text.c_str(), nullptr, 10);
    if (errno != 0 || parsed < INT32_MIN || parsed > INT32_MAX) {
        return false;
    }
    value = static_cast<std::int32_t>(parsed);
    return true;
}

bool ParsePositiveDouble(const std::string& text, double& value)
{
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size() && value > 0 && value < 1e7;
}

}  // namespace

const char* UsageText()
{
    return "Usage: orvane-capture [options]\n"
           "Captures live video from the Orvane HD grabber through the Orvane module, as a host does,\n"
           "and reports rate, drops, time stamps and latency.\n"
           "\n"
           "  --profile FILE     hardware profile (.chp) to capture with\n"
           "                     (default: profiles\\orvane-1920x1080-60-dvi.chp beside this program)\n"
           "  --frames N         stop after N frames\n"
           "  --seconds S        stop after S seconds (default 5 when --frames is not given)\n"
           "  --buffers N        frame buffers to allocate, 1..1000 (default 8)\n"
           "  --format NAME      image format to capture in: a name the module offers (\"BGR 32\",\n"
           "                     \"BGR 24\", \"BGR 555\", \"Mono 8\", \"Mono 10\", \"Mono 16\", \"Y Only 8\",\n"
           "                     \"Y Only 16\", \"Full YCbCr 16\"; case and blanks do not matter) or a\n"
           "                     type number 0..9 (default: the format the module has)\n"
           "  --csv FILE         per-frame times (default capture.csv in the output folder)\n"
           "  --save-every N     save every N-th frame as a PNG, starting with the first; grey\n"
           "                     formats as 8-bit grey, the others as 24-bit colour\n"
           "                     (default 60; 0 saves none)\n"
           "  --out-dir DIR      folder for the CSV and the images (default: current folder)\n"
           "  --log              print the module's diagnostic lines at the end\n"
           "  --direct           load Orvane.dll beside this program instead of the registered class\n"
           "  --timesource DLL|System   time-source plug-in for the frame times, or the system clock\n"
           "  --time-offset MICROSECONDS  added to every frame time\n"
           "  --timecode-offset FRAMES    added to the time code in every frame's first four bytes\n"
           "  --timecode-mode 0|1|2      time-code rate: 30, 20 or 24 frames per second\n"
           "                     (the four are stored under the host's registry key before the grab)\n"
           "  --help             this text\n"
           "\n"
           "Exit codes: 0 success, 1 capture failed, 2 bad command line.\n";
}

std::optional<CaptureOptions> ParseOptions(const std::vector<std::string>& arguments, std::string& error)
{
    CaptureOptions options;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& name = arguments[i];
        auto value = [&](std::string& out) { return host::TakeOptionValue(arguments, i, out, error); };
        std::string text;
        std::uint64_t number = 0;
        if (name == "--help" || name == "-h" || name == "/?") {
            options.help = true;
        } else if (name == "--log") {
            options.log = true;
        } else if (name == "--direct") {
            options.direct = true;
        } else if (name == "--profile") {
            if (!value(options.profile)) {
                return std::nullopt;
            }
        } else if (name == "--csv") {
            if (!value(options.csv)) {
                return std::nullopt;
            }
        } else if (name == "--out-dir") {
            if (!value(options.outDir)) {
                return std::nullopt;
            }
        } else if (name == "--frames") {
            if (!value(text)) {
                return std::nullopt;
            }
            if (!ParseUnsigned(text, number) || number == 0) {
                error = "--frames wants a positive whole number, not \"" + text + "\"";
                return std::nullopt;
            }
            options.frames = number;
        } else if (name == "--seconds") {
            if (!value(text)) {
                return std::nullopt;
            }
            if (!ParsePositiveDouble(text, options.seconds)) {
                error = "--seconds wants a positive number, not \"" + text + "\"";
                return std::nullopt;
            }
        } else if (name == "--buffers") {
            if (!value(text)) {
                return std::nullopt;
            }
            if (!ParseUnsigned(text, number) || number < 1 || number > 1000) {
                error = "--buffers wants a number from 1 to 1000, not \"" + text + "\"";
                return std::nullopt;
            }
            options.buffers = static_cast<int>(number);
        } else if (name == "--format") {
            if (!value(options.format)) {
                return std::nullopt;
            }
            // Names are checked against what the module offers once it is open; a number can be
            // checked now.
            const bool blank = options.format.find_first_not_of(" \t") == std::string::npos;
            const bool digits = options.format.find_first_not_of("0123456789") == std::string::npos;
            if (blank || (digits && !(ParseUnsigned(options.format, number) && number <= 9))) {
                error = "--format wants an image format name or a type number from 0 to 9, not \"" + options.format + "\"";
                return std::nullopt;
            }
        } else if (name == "--save-every") {
            if (!value(text)) {
                return std::nullopt;
            }
            if (!ParseUnsigned(text, number) || number > 1000000) {
                error = "--save-every wants a whole number (0 = none), not \"" + text + "\"";
                return std::nullopt;
            }
            options.saveEvery = static_cast<int>(number);
        } else if (name == "--timesource") {
            if (!value(text)) {
                return std::nullopt;
            }
            if (text.empty() || text.size() > 259) {
                error = "--timesource wants a DLL name or System of 1 to 259 characters";
                return std::nullopt;
            }
            options.timeSource = text;
        } else if (name == "--time-offset" || name == "--timecode-offset" || name == "--timecode-mode") {
            std::int32_t signedNumber = 0;
            if (!value(text)) {
                return std::nullopt;
            }
            if (!ParseSigned32(text, signedNumber) || (name == "--timecode-mode" && (signedNumber < 0 || signedNumber > 2))) {
                error = name + (name == "--timecode-mode" ? " wants 0, 1 or 2" : " wants a whole number (32-bit)") +
                        ", not \"" + text + "\"";
                return std::nullopt;
            }
            (name == "--time-offset" ? options.timeOffset : name == "--timecode-offset" ? options.timecodeOffset
                                                                                         : options.timecodeMode) = signedNumber;
        } else {
            error = "unknown option \"" + name + "\" (see --help)";
            return std::nullopt;
        }
    }
    if (options.frames == 0 && options.seconds == 0) {
        options.seconds = kDefaultSeconds;
    }
    return options;
}

}  // namespace orvane::capture
