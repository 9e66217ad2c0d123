#include "videosource/check/SampleTimes.h"

#include <cmath>

#include "tools/common/Statistics.h"

namespace orvane::dshowcheck {

namespace {

constexpr double kUnitsPerMs = 10'000.0;

}  // namespace

SampleTimes::SampleTimes(size_t wanted) : wanted_(wanted), done_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    records_.reserve(wanted);
}

void SampleTimes::OnSample(IMediaSample& sample)
{
    SampleRecord record;
    REFERENCE_TIME end = 0;
    record.timed = SUCCEEDED(sample.GetTime(&record.start, &end));
    record.discontinuity = sample.IsDiscontinuity() == S_OK;
    record.bytes = sample.GetActualDataLength();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    record.arrived = now.QuadPart;
    const std::lock_guard<std::mutex> lock(mutex_);
    if (records_.size() < wanted_) {
        records_.push_back(record);
        if (records_.size() == wanted_) {
            SetEvent(done_.Get());
        }
    }
}

std::vector<SampleRecord> SampleTimes::Records() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return records_;
}

StepReport ReportSteps(const std::vector<SampleRecord>& records, REFERENCE_TIME period)
{
    StepReport report;
    std::vector<double> steps;
    for (size_t i = 1; i < records.size(); ++i) {
        if (!records[i].timed || !records[i - 1].timed) {
            continue;
        }
        const REFERENCE_TIME step = records[i].start - records[i - 1].start;
        steps.push_back(static_cast<double>(step) / kUnitsPerMs);
        if (step <= 0) {
            ++report.backwards;
        }
        if (period > 0 && step * 2 >= period * 3) {
            ++report.gaps;
        }
        if (period > 0 && std::llabs(step - period) <= static_cast<REFERENCE_TIME>(kUnitsPerMs)) {
            ++report.withinOneMs;
        }
    }
    const host::Summary summary = host::Summarize(steps);
    report.steps = summary.count;
    report.meanMs = summary.mean;
    report.minMs = summary.min;
    report.maxMs = summary.max;
    report.jitterMs = summary.stddev;
    return report;
}

double ArrivalRate(const std::vector<SampleRecord>& records)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    if (records.size() < 2 || records.back().arrived <= records.front().arrived) {
        return 0;
    }
    const double seconds = static_cast<double>(records.back().arrived - records.front().arrived) / static_cast<double>(frequency.QuadPart);
    return static_cast<double>(records.size() - 1) / seconds;
}

}  // namespace orvane::dshowcheck
