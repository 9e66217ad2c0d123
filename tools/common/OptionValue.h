#pragma once
// The value that follows an option on a tool's command line.
#include <cstddef>
#include <string>
#include <vector>

namespace orvane::host {

// Takes arguments[i + 1] as the value of the option arguments[i] and moves i onto it; false, with
// the message in `error`, when the option is the last word.
inline bool TakeOptionValue(const std::vector<std::string>& arguments, std::size_t& i, std::string& out,
                            std::string& error)
{
    if (i + 1 >= arguments.size()) {
        error = arguments[i] + " needs a value";
        return false;
    }
    out = arguments[++i];
    return true;
}

}  // namespace orvane::host
