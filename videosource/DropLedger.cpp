#include "videosource/DropLedger.h"

#include <algorithm>

namespace orvane::videosource {

void DropLedger::Start(REFERENCE_TIME framePeriod)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    recent_.clear();
    period_ = framePeriod;
    haveLast_ = false;
    nextNumber_ = 0;
    dropped_ = 0;
    delivered_ = 0;
    deliveredBytes_ = 0;
}

LONG DropLedger::Arrived(REFERENCE_TIME headerTime, LONGLONG& frameNumber)
{
    LONG missing = 0;
    if (haveLast_ && period_ > 0 && headerTime > lastTime_) {
        // Whole periods between the two, the nearest count: stamping jitter is far below half a period.
        const LONGLONG periods = (headerTime - lastTime_ + period_ / 2) / period_;
        missing = static_cast<LONG>(std::clamp<LONGLONG>(periods - 1, 0, 1'000'000));
    }
    for (LONG i = std::max<LONG>(0, missing - static_cast<LONG>(kRecentDrops)); i < missing; ++i) {
        Record(nextNumber_ + i);
    }
    nextNumber_ += missing;
    dropped_ += missing;
    frameNumber = nextNumber_++;
    lastTime_ = headerTime;
    haveLast_ = true;
    return missing;
}

void DropLedger::Delivered(size_t bytes) noexcept
{
    ++delivered_;
    deliveredBytes_ += static_cast<LONGLONG>(bytes);
}

void DropLedger::Discarded(LONGLONG frameNumber)
{
    Record(frameNumber);
    ++dropped_;
}

void DropLedger::Record(LONGLONG frameNumber)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    if (recent_.size() == kRecentDrops) {
        recent_.erase(recent_.begin());
    }
    recent_.push_back(static_cast<LONG>(frameNumber));
}

LONG DropLedger::AverageFrameSize() const noexcept
{
    const LONG count = delivered_;
    return count > 0 ? static_cast<LONG>(deliveredBytes_ / count) : 0;
}

std::vector<LONG> DropLedger::RecentDrops(size_t capacity) const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    const size_t count = std::min(capacity, recent_.size());
    return std::vector<LONG>(recent_.end() - static_cast<std::ptrdiff_t>(count), recent_.end());
}

}  // namespace orvane::videosource
