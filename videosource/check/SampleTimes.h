#pragma once
// The samples a run delivered, as the check reports them: their times on the graph clock and
// flags, counted until the wanted number has come.
#include <dshow.h>

#include <mutex>
#include <vector>

#include "platform/OwnedHandle.h"
#include "videosource/check/CheckGraph.h"

namespace orvane::dshowcheck {

struct SampleRecord {
    bool timed = false;
    REFERENCE_TIME start = 0;
    bool discontinuity = false;
    long bytes = 0;
    LONGLONG arrived = 0;  // performance counter when it reached the Sample Grabber
};

// What the steps between consecutive sample times show against the nominal period.
struct StepReport {
    size_t steps = 0;
    double meanMs = 0;
    double minMs = 0;
    double maxMs = 0;
    double jitterMs = 0;       // standard deviation
    size_t withinOneMs = 0;    // steps within 1 ms of the period
    size_t gaps = 0;           // steps of 1.5 periods or more: frames missing
    size_t backwards = 0;      // steps that do not move forward
};

class SampleTimes final : public SampleSink {
public:
    explicit SampleTimes(size_t wanted);

    void OnSample(IMediaSample& sample) override;
    // Set once `wanted` samples have come.
    HANDLE Done() const { return done_.Get(); }
    std::vector<SampleRecord> Records() const;

private:
    size_t wanted_;
    UniqueKernelHandle done_;
    mutable std::mutex mutex_;
    std::vector<SampleRecord> records_;
};

StepReport ReportSteps(const std::vector<SampleRecord>& records, REFERENCE_TIME period);
// Samples per second between the first arrival and the last; 0 with fewer than two.
double ArrivalRate(const std::vector<SampleRecord>& records);

}  // namespace orvane::dshowcheck
