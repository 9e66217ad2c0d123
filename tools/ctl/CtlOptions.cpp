#include "tools/ctl/CtlOptions.h"

#include <CLI/CLI.hpp>

#include <memory>

namespace orvane::ctl {

namespace {

struct Texts {
    std::vector<std::string> sets;
    std::vector<std::string> profiles;  // one per --profile, empty for the one that only shows it
    bool yes = false;
    bool no = false;
};

std::unique_ptr<CLI::App> MakeApp(CtlOptions& o, Texts& t)
{
    auto app = std::make_unique<CLI::App>("", "orvane-ctl");
    host::DescribeTool(*app,
                       "Lists and changes the settings and adjustments of the Orvane HD grabber through the Orvane module's "
                       "host interfaces, as a host's property pages do.",
                       "Options may be repeated and combined; they act in this order: reset, profile, browse, set, get,\n"
                       "white balance, list, info, showing the profile. The settings key is shared with orvane-capture:\n"
                       "what is set here is what the next capture uses.");
    app->add_flag("-l,--list", o.list, "every setting with its options, every adjustment with its id, type, range and value");
    app->add_option("--get", o.gets, "the value of a setting or adjustment (NAME: its name or id)")
        ->type_name("NAME")
        ->allow_extra_args(false);
    app->add_option("--set", t.sets,
                    "sets it and reads it back; the value must lie in the registered range (a setting takes one of its "
                    "options, by value or label)")
        ->type_name("NAME=VALUE")
        ->allow_extra_args(false)
        ->check([](const std::string& text) {
            const size_t equals = text.find('=');
            return equals == std::string::npos || equals == 0 || equals + 1 == text.size() ? "wants NAME=VALUE, not " + text : std::string();
        });
    app->add_flag("--white-balance", o.whiteBalance,
                  "runs the automatic white balance and asks on the console whether to keep the result");
    app->add_flag("--yes", t.yes, "keep the white balance's result without asking");
    app->add_flag("--no", t.no, "restore the calibration from before the white balance without asking");
    app->add_option("--profile", t.profiles,
                    "without FILE: shows the configuration file in force; with FILE (.chp): makes it the board file before "
                    "the grabber starts (kept only when the module could use it)")
        ->type_name("[FILE]")
        ->expected(0, 1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app->add_flag("--browse", o.browse, "opens the module's dialog to choose the board file (implies --interactive)");
    app->add_flag("--info", o.info, "image geometry, format, bits, format code, buffer usage and the remembered settings");
    host::AddCommonOptions(*app, o.common);
    host::WrapHelp(*app);
    return app;
}

}  // namespace

std::string UsageText()
{
    CtlOptions options;
    Texts texts;
    return MakeApp(options, texts)->help();
}

std::optional<CtlOptions> ParseOptions(const std::vector<std::string>& arguments, std::string& error)
{
    CtlOptions options;
    Texts texts;
    const auto app = MakeApp(options, texts);
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
    for (const std::string& text : texts.sets) {
        const size_t equals = text.find('=');
        options.sets.emplace_back(text.substr(0, equals), text.substr(equals + 1));
    }
    for (const std::string& profile : texts.profiles) {
        if (profile.empty()) {
            options.showProfile = true;
        } else if (!options.profile.empty() && profile != options.profile) {
            error = "--profile: give one board file, not " + options.profile + " and " + profile;
            return std::nullopt;
        } else {
            options.profile = profile;
        }
    }
    if (texts.yes && texts.no) {
        error = "--yes and --no exclude each other";
        return std::nullopt;
    }
    options.answer = texts.yes ? host::QuestionAnswer::Yes : texts.no ? host::QuestionAnswer::No : host::QuestionAnswer::Ask;
    if ((texts.yes || texts.no) && !options.whiteBalance) {
        error = "--yes and --no answer the question of --white-balance";
        return std::nullopt;
    }
    if (options.browse) {
        options.common.interactive = true;
    }
    if (!options.NeedsGrabber() && !options.common.reset && !options.common.listBoards && !options.common.listProfiles) {
        error = "nothing to do";
        return std::nullopt;
    }
    return options;
}

}  // namespace orvane::ctl
