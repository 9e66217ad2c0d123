#pragma once
// --list-boards and --list-profiles, the same in both tools: what the board library says, as text
// or as JSON.
#include <cstdio>

#include "tools/common/ToolCommandLine.h"

namespace orvane::host {

// Prints what was asked for; answers the exit code. Failures go to standard error, prefixed with
// `tool`.
int PrintListings(const char* tool, const CommonOptions& options, std::FILE* out);

}  // namespace orvane::host
