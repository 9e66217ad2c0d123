#pragma once
// Places each frame on the graph's reference clock. A frame's header carries the time the module
// stamped it with; the graph clock is read when the frame reaches the filter, a little later and
// by a varying amount. The difference between the two, at its smallest over the first frames, is
// the offset between the clocks; the frame's time is its header time plus that offset, so the
// frames keep the spacing the module stamped and not the jitter of their delivery.
//
// The offset is learnt again when the clocks jump apart: at once when a frame arrives earlier than
// the offset allows by more than half a frame period (the header clock jumped ahead, or the first
// frames came slowly: a smaller step would reorder the samples), after a few frames in a row that
// arrive far later (it jumped back; a single late frame is only a late delivery). A quicker
// delivery by less than that only tightens the offset, by at most kSlew a frame: the first frames
// of a run often come late (the graph and the caches are still cold), and taking the whole
// difference at once would shorten one sample's step by it, a jolt in the times every consumer
// sees. Until the offset has settled, a frame's time may lie that little ahead of the clock.
#include <strmif.h>

namespace orvane::videosource {

class ClockMapping {
public:
    static constexpr REFERENCE_TIME kJump = 50 * 10'000;  // 50 ms
    static constexpr int kLateFramesForJump = 5;
    static constexpr REFERENCE_TIME kSlew = 5'000;  // 0.5 ms a frame

    struct Placement {
        REFERENCE_TIME time = 0;  // on the reference clock
        bool relearnt = false;    // the offset was learnt anew at this frame
    };

    // `headerTime` and `clockNow` in 100 ns units, each on its own clock.
    Placement Place(REFERENCE_TIME headerTime, REFERENCE_TIME clockNow) noexcept;
    // Forgets the offset (a new stream) at `framePeriod` (0 when unknown).
    void Restart(REFERENCE_TIME framePeriod = 0) noexcept
    {
        learnt_ = false;
        lateFrames_ = 0;
        period_ = framePeriod;
    }

private:
    bool learnt_ = false;
    REFERENCE_TIME period_ = 0;
    REFERENCE_TIME offset_ = 0;
    int lateFrames_ = 0;
};

// The header's time (seconds since 1970, milliseconds, microseconds) in 100 ns units.
REFERENCE_TIME HeaderTime(LONG seconds, unsigned milliseconds, unsigned microseconds) noexcept;

}  // namespace orvane::videosource
