#include "tools/common/Statistics.h"

#include <algorithm>
#include <cmath>

namespace orvane::host {

double Percentile(const std::vector<double>& sorted, double q)
{
    if (sorted.empty()) {
        return 0;
    }
    const double rank = std::ceil(q * static_cast<double>(sorted.size()));
    const size_t index = rank < 1 ? 0 : std::min(sorted.size() - 1, static_cast<size_t>(rank) - 1);
    return sorted[index];
}

Summary Summarize(std::vector<double> samples)
{
    Summary s;
    s.count = samples.size();
    if (samples.empty()) {
        return s;
    }
    std::sort(samples.begin(), samples.end());
    double sum = 0;
    for (double v : samples) {
        sum += v;
    }
    s.mean = sum / static_cast<double>(samples.size());
    double squares = 0;
    for (double v : samples) {
        squares += (v - s.mean) * (v - s.mean);
    }
    s.stddev = std::sqrt(squares / static_cast<double>(samples.size()));
    s.min = samples.front();
    s.max = samples.back();
    s.p50 = Percentile(samples, 0.50);
    s.p99 = Percentile(samples, 0.99);
    return s;
}

}  // namespace orvane::host
