#pragma once
// Summary figures of a series of samples: mean, extremes, spread and percentiles.
#include <cstddef>
#include <vector>

namespace orvane::host {

struct Summary {
    size_t count = 0;
    double mean = 0;
    double min = 0;
    double max = 0;
    double stddev = 0;  // population standard deviation
    double p50 = 0;
    double p99 = 0;
};

// Percentiles by nearest rank on a sorted copy. An empty series gives all zeros.
Summary Summarize(std::vector<double> samples);

// Value at fraction `q` (0..1) of an already sorted series, nearest rank.
double Percentile(const std::vector<double>& sorted, double q);

}  // namespace orvane::host
