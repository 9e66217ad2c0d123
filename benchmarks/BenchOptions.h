#pragma once
// Command line of the benchmark.
#include <optional>
#include <string>
#include <vector>

namespace orvane::bench {

struct BenchOptions {
    double durationSeconds = 10;  // each 60 Hz run
    double fastSeconds = 3;       // the floor and the unlimited-rate run
    int buffers = 8;
    bool registered = false;      // create through the registration instead of Orvane.dll beside the program
    bool help = false;
};

std::optional<BenchOptions> ParseBenchOptions(const std::vector<std::string>& arguments, std::string& error);
const char* BenchUsage();

}  // namespace orvane::bench
