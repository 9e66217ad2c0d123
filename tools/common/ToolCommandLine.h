#pragma once
// The command line both tools share: the options they have in common, and parsing with CLI11 into
// one of three outcomes (run, show help or version, refuse with a one-line reason).
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace orvane::host {

struct CommonOptions {
    std::string registryPathText = "Software\\OrvaneTools\\";  // as given
    std::wstring registryPath;                 // normalised (RegistryPath.h), set by FinishCommonOptions
    std::string board;                         // --board SERIAL; empty: the remembered one, or the first
    bool interactive = false;                  // let the module open its windows
    bool reset = false;                        // forget the remembered values first
    bool listBoards = false;
    std::string listProfilesFolder;            // as given
    std::optional<std::string> listProfiles;   // the folder when asked for; empty: the profiles beside the program
    bool json = false;
    bool log = false;                          // the module's diagnostic lines
    bool direct = false;                       // Orvane.dll beside the program instead of the registration
};

enum class ParseOutcome { Run, Help, Version, Refused };

// Adds the common options to `app`, with their help texts.
void AddCommonOptions(CLI::App& app, CommonOptions& options);

// Sets up the help text (description, exit codes) and the version flag of a tool.
void DescribeTool(CLI::App& app, const std::string& description, const std::string& footer);

// Breaks every option's help text into lines (Wrapped); after the last option was added.
void WrapHelp(CLI::App& app);

// Parses `arguments` (argv[1..]). "/?" anywhere asks for the help, as Windows programs do.
// Refused: `error` holds the reason in one line.
ParseOutcome ParseArguments(CLI::App& app, const std::vector<std::string>& arguments, std::string& error);

// After a parse that ran: fills what CLI11 does not (the normalised registry path, whether
// --list-profiles was given).
bool FinishCommonOptions(const CLI::App& app, CommonOptions& options, std::string& error);

// An option's help text broken into lines that fit beside the option names in an 80..100 column
// terminal (CLI11 indents the lines after the first).
std::string Wrapped(const std::string& text, std::size_t width = 64);

// "orvane-capture 1.1.0 (Orvane grabber module tools)".
std::string VersionText(const char* tool);

}  // namespace orvane::host
