#include "benchmarks/BenchOptions.h"

#include <cstdlib>

namespace orvane::bench {

namespace {
bool PositiveNumber(const std::string& text, double& value)
{
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size() && value > 0 && value <= 3600;
}
}  // namespace

const char* BenchUsage()
{
    return "Usage: orvane-bench [options]\n"
           "  --duration S       seconds of each 60 Hz run (1920x1080 and 3840x2160; default 10)\n"
           "  --fast-seconds S   seconds of the floor and of the unlimited-rate run (default 3)\n"
           "  --buffers N        buffers in every chain, 2..64 (default 8)\n"
           "  --registered       create the object through its registration (CoCreateInstance)\n"
           "                     instead of from Orvane.dll beside this program\n"
           "  --help             this text\n";
}

std::optional<BenchOptions> ParseBenchOptions(const std::vector<std::string>& arguments, std::string& error)
{
    BenchOptions options;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& name = arguments[i];
        auto number = [&](double& out) {
            if (i + 1 >= arguments.size() || !PositiveNumber(arguments[i + 1], out)) {
                error = name + " wants a positive number of seconds";
                return false;
            }
            ++i;
            return true;
        };
        double value = 0;
        if (name == "--help" || name == "-h") {
            options.help = true;
        } else if (name == "--registered") {
            options.registered = true;
        } else if (name == "--duration") {
            if (!number(options.durationSeconds)) {
                return std::nullopt;
            }
        } else if (name == "--fast-seconds") {
            if (!number(options.fastSeconds)) {
                return std::nullopt;
            }
        } else if (name == "--buffers") {
            if (!number(value) || value < 2 || value > 64) {
                error = "--buffers wants a number from 2 to 64";
                return std::nullopt;
            }
            options.buffers = static_cast<int>(value);
        } else {
            error = "unknown option \"" + name + "\"";
            return std::nullopt;
        }
    }
    return options;
}

}  // namespace orvane::bench
