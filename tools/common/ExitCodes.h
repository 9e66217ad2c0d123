#pragma once
// What the tools' exit codes mean, the same in orvane-capture and orvane-ctl (and in their --help
// and the README). When several apply, a tool answers the first of these that does:
// kFailed, kInterrupted, kOutputFailed, kTimeSourceRefused, kValueNotTaken.

namespace orvane::host {

enum ExitCode : int {
    kExitSuccess = 0,
    kExitFailed = 1,              // the grabber or the board failed; the module's reason is printed
    kExitUsage = 2,               // bad command line, or a value outside its range
    kExitOutputFailed = 3,        // an output (CSV, image, stream, JSON) could not be written
    kExitTimeSourceRefused = 4,   // the module did not use the time source asked for, or dropped it
    kExitValueNotTaken = 5,       // orvane-ctl --set: the board kept another value
    kExitInterrupted = 130,       // Ctrl-C (or Ctrl-Break): what was captured so far is written
};

// The lines for the tools' --help.
inline constexpr char kExitCodeHelp[] =
    "Exit codes:\n"
    "  0    success\n"
    "  1    the grabber or the board failed (the module's reason is printed)\n"
    "  2    bad command line or a value outside its range\n"
    "  3    an output could not be written (CSV, image, stream, standard output)\n"
    "  4    the module did not use the time source asked for, or dropped it when it failed on a frame\n"
    "       (it fell back to the system clock)\n"
    "  5    orvane-ctl --set: the board did not take the value\n"
    "  130  orvane-capture interrupted by Ctrl-C; the summary and the CSV so far are written\n";

}  // namespace orvane::host
