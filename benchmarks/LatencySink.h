#pragma once
// The benchmark's frame sink: notes the board's fill to GetCurrent latency of every frame and
// does nothing else, so the read thread's time is the module's.
#include <cstdint>
#include <vector>

#include "tools/common/BoardControl.h"
#include "tools/common/GrabberSession.h"

namespace orvane::bench {

class LatencySink : public host::FrameSink {
public:
    // Fill times come from `board`, which must outlive the sink.
    explicit LatencySink(const host::BoardControl& board);
    void OnFrame(const ImageHeader& header, LONGLONG deliveredQpc) override;
    // Read after the session has stopped.
    const std::vector<double>& LatencyMicroseconds() const { return latency_; }
    // Board frame numbers that never reached the host, and frames that came out of order (the
    // simulated board writes its frame number into every frame).
    std::uint64_t MissingFrames() const { return missing_; }
    std::uint64_t OutOfOrderFrames() const { return outOfOrder_; }

private:
    const host::BoardControl& board_;
    double ticksPerMicrosecond_ = 1;
    std::vector<double> latency_;
    std::int64_t lastFrame_ = -1;
    std::uint64_t missing_ = 0;
    std::uint64_t outOfOrder_ = 0;
};

}  // namespace orvane::bench
