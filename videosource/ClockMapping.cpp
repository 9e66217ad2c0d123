#include "videosource/ClockMapping.h"

#include <algorithm>

namespace orvane::videosource {

ClockMapping::Placement ClockMapping::Place(REFERENCE_TIME headerTime, REFERENCE_TIME clockNow) noexcept
{
    const REFERENCE_TIME difference = clockNow - headerTime;
    const REFERENCE_TIME earliest = period_ > 0 ? std::min(kJump, period_ / 2) : kJump;
    if (!learnt_ || difference < offset_ - earliest) {
        learnt_ = true;
        offset_ = difference;
        lateFrames_ = 0;
        return {headerTime + offset_, true};
    }
    if (difference > offset_ + kJump) {
        if (++lateFrames_ >= kLateFramesForJump) {
            offset_ = difference;
            lateFrames_ = 0;
            return {headerTime + offset_, true};
        }
        return {headerTime + offset_, false};
    }
    lateFrames_ = 0;
    // A delivery quicker than any before: the offset was a little too large.
    if (difference < offset_) {
        offset_ -= std::min(offset_ - difference, kSlew);
    }
    return {headerTime + offset_, false};
}

REFERENCE_TIME HeaderTime(LONG seconds, unsigned milliseconds, unsigned microseconds) noexcept
{
    return static_cast<REFERENCE_TIME>(seconds) * 10'000'000 + static_cast<REFERENCE_TIME>(milliseconds) * 10'000 +
           static_cast<REFERENCE_TIME>(microseconds) * 10;
}

}  // namespace orvane::videosource
