#include "tools/ctl/CtlOptions.h"

#include "tools/common/ComErrorText.h"
#include "tools/common/OptionValue.h"

namespace orvane::ctl {

const char* UsageText()
{
    return "Usage: orvane-ctl [options]\n"
           "Lists and changes the settings and adjustments of the Orvane HD grabber through the Orvane\n"
           "module's host interfaces, as a host's property pages do.\n"
           "\n"
           "  --list                every setting with its options, every adjustment with its id, type,\n"
           "                        range and current value\n"
           "  --get NAME            the value of a setting or adjustment (NAME: its name or id)\n"
           "  --set NAME=VALUE      sets it; the value must lie in the registered range (a setting takes\n"
           "                        one of its options, by value or label)\n"
           "  --white-balance       runs the automatic white balance and asks whether to keep the result\n"
           "  --yes, --no           answer that question without asking\n"
           "  --profile             shows the configuration file in force\n"
           "  --profile FILE        makes FILE (.chp) the board file before the grabber starts\n"
           "  --browse              opens the module's dialog to choose the board file\n"
           "  --info                image geometry, format, bits, format code and buffer usage\n"
           "  --registry-path PATH  host key below HKEY_CURRENT_USER (default Software\\OrvaneCtl\\)\n"
           "  --direct              load Orvane.dll beside this program instead of the registered class\n"
           "  --help                this text\n"
           "\n"
           "Options may be repeated and combined; they act in the order: profile, browse, set, get,\n"
           "white balance, list, info, showing the profile.\n"
           "Exit codes: 0 success, 1 the grabber failed, 2 bad command line or value.\n";
}

std::optional<CtlOptions> ParseOptions(const std::vector<std::string>& arguments, std::string& error)
{
    CtlOptions options;
    bool anyAction = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& name = arguments[i];
        auto value = [&](std::string& out) { return host::TakeOptionValue(arguments, i, out, error); };
        std::string text;
        if (name == "--help" || name == "-h" || name == "/?") {
            options.help = true;
        } else if (name == "--list" || name == "-l") {
            options.list = anyAction = true;
        } else if (name == "--info") {
            options.info = anyAction = true;
        } else if (name == "--white-balance") {
            options.whiteBalance = anyAction = true;
        } else if (name == "--yes" || name == "--no") {
            const Answer answer = name == "--yes" ? Answer::Yes : Answer::No;
            if (options.answer != Answer::Ask && options.answer != answer) {
                error = "--yes and --no exclude each other";
                return std::nullopt;
            }
            options.answer = answer;
        } else if (name == "--browse") {
            options.browse = anyAction = true;
        } else if (name == "--direct") {
            options.direct = true;
        } else if (name == "--profile") {
            // A following word that is not an option (-l and /? included) is the file to use.
            if (i + 1 < arguments.size() && !arguments[i + 1].empty() && arguments[i + 1][0] != '-' &&
                arguments[i + 1] != "/?") {
                options.profile = arguments[++i];
            } else {
                options.showProfile = true;
            }
            anyAction = true;
        } else if (name == "--registry-path") {
            if (!value(text)) {
                return std::nullopt;
            }
            options.registryPath = host::Widen(text);
        } else if (name == "--get") {
            if (!value(text)) {
                return std::nullopt;
            }
            options.gets.push_back(text);
            anyAction = true;
        } else if (name == "--set") {
            if (!value(text)) {
                return std::nullopt;
            }
            const size_t equals = text.find('=');
            if (equals == std::string::npos || equals == 0 || equals + 1 == text.size()) {
                error = "--set wants NAME=VALUE, not \"" + text + "\"";
                return std::nullopt;
            }
            options.sets.emplace_back(text.substr(0, equals), text.substr(equals + 1));
            anyAction = true;
        } else {
            error = "unknown option \"" + name + "\" (see --help)";
            return std::nullopt;
        }
    }
    if (options.answer != Answer::Ask && !options.whiteBalance) {
        error = "--yes and --no answer the question of --white-balance";
        return std::nullopt;
    }
    if (!anyAction && !options.help) {
        error = "nothing to do (see --help)";
        return std::nullopt;
    }
    return options;
}

}  // namespace orvane::ctl
