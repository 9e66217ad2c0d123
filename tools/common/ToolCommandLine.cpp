#include "tools/common/ToolCommandLine.h"

#include <CLI/CLI.hpp>

#include <algorithm>

#include "tools/common/ExitCodes.h"
#include "tools/common/RegistryPath.h"

#ifndef ORVANE_VERSION
#define ORVANE_VERSION "unknown"
#endif

namespace orvane::host {

std::string Wrapped(const std::string& text, std::size_t width)
{
    std::string result;
    std::size_t lineStart = 0;
    std::size_t position = 0;
    while (position < text.size()) {
        std::size_t wordEnd = text.find(' ', position);
        if (wordEnd == std::string::npos) {
            wordEnd = text.size();
        }
        if (result.size() > lineStart && result.size() - lineStart + 1 + (wordEnd - position) > width) {
            result += '\n';
            lineStart = result.size();
        } else if (result.size() > lineStart) {
            result += ' ';
        }
        result.append(text, position, wordEnd - position);
        position = wordEnd + 1;
    }
    return result;
}

void AddCommonOptions(CLI::App& app, CommonOptions& options)
{
    app.add_option("--registry-path", options.registryPathText,
                   "key below HKEY_CURRENT_USER that holds the settings the tools remember "
                                      "(default Software\\OrvaneTools\\; the module's own values go into PATH\\Orvane)")
        ->type_name("PATH")
        ->check([](const std::string& text) {
            std::string error;
            return NormaliseRegistryPath(text, error) ? std::string() : error;
        });
    app.add_option("--board", options.board, "the board to use, by its serial number (see --list-boards); remembered")
        ->type_name("SERIAL")
        ->check([](const std::string& text) {
            return !text.empty() && text.size() <= 15 ? std::string() : "a serial number has 1 to 15 characters";
        });
    app.add_flag("--interactive", options.interactive,
                 "let the module open its windows (profile dialog, no-signal box) instead of failing with the reason");
    app.add_flag("--reset", options.reset, "forget every remembered setting (board file, board, image format, region, time source)");
    app.add_flag("--list-boards", options.listBoards, "list the boards present (name, serial, index, type) and stop");
    app.add_option("--list-profiles", options.listProfilesFolder,
                   "list the profiles (*.chp) of FOLDER with size, rate, cable and pixel mode, read by the "
                                      "board library, and stop (default: the profiles beside this program)")
        ->type_name("[FOLDER]")
        ->expected(0, 1);
    app.add_flag("--json", options.json, "write the result as JSON on standard output");
    app.add_flag("--log", options.log, "print the module's diagnostic lines at the end");
    app.add_flag("--direct", options.direct, "load Orvane.dll beside this program instead of the registered class");
}

void DescribeTool(CLI::App& app, const std::string& description, const std::string& footer)
{
    app.description(Wrapped(description, 96));
    app.footer(footer + "\n\n" + kExitCodeHelp);
    app.get_formatter()->column_width(34);
    app.set_help_flag("-h,--help", "this text");
    app.set_version_flag("--version", std::string(ORVANE_VERSION), "the version of the tool");
}

void WrapHelp(CLI::App& app)
{
    for (CLI::Option* option : app.get_options()) {
        option->description(Wrapped(option->get_description()));
    }
}

ParseOutcome ParseArguments(CLI::App& app, const std::vector<std::string>& arguments, std::string& error)
{
    if (std::find(arguments.begin(), arguments.end(), "/?") != arguments.end()) {
        return ParseOutcome::Help;
    }
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        app.parse(std::move(reversed));
    } catch (const CLI::CallForHelp&) {
        return ParseOutcome::Help;
    } catch (const CLI::CallForAllHelp&) {
        return ParseOutcome::Help;
    } catch (const CLI::CallForVersion&) {
        return ParseOutcome::Version;
    } catch (const CLI::ParseError& e) {
        error = e.what();
        return ParseOutcome::Refused;
    }
    return ParseOutcome::Run;
}

bool FinishCommonOptions(const CLI::App& app, CommonOptions& options, std::string& error)
{
    const auto path = NormaliseRegistryPath(options.registryPathText, error);
    if (!path) {
        return false;
    }
    options.registryPath = *path;
    if (app.count("--list-profiles") > 0) {
        options.listProfiles = options.listProfilesFolder;
    }
    return true;
}

std::string VersionText(const char* tool)
{
    return std::string(tool) + " " + ORVANE_VERSION + " (Orvane grabber module tools)";
}

}  // namespace orvane::host
