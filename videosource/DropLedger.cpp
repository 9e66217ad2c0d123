#include "videosource/DropLedger.h"

#include <algorithm>
#include <climits>

namespace orvane::videosource {

void DropLedger::Start(REFERENCE_TIME framePeriod)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    recent_.clear();
    period_ = framePeriod;
    started_ = false;
    inferred_.clear();
    nextNumber_ = 0;
    inferredDrops_ = 0;
    discarded_ = 0;
    moduleCounts_ = false;
    moduleDrops_ = 0;
    delivered_ = 0;
    deliveredBytes_ = 0;
}

LONG DropLedger::Arrived(REFERENCE_TIME headerTime, LONGLONG& frameNumber)
{
    LONG missing = 0;
    if (!started_ || period_ <= 0) {
        schedule_ = headerTime;
        started_ = true;
    } else {
        REFERENCE_TIME due = schedule_ + nextNumber_ * period_;
        const LONGLONG early = due > headerTime ? (due - headerTime + period_ / 2) / period_ : 0;
        const LONG undone = static_cast<LONG>(std::min<LONGLONG>(early, static_cast<LONGLONG>(inferred_.size())));
        if (undone > 0) {
            Forget(undone);
            nextNumber_ -= undone;
            due -= undone * period_;
        }
        // A frame after a lost one comes a whole period or more after its place; one stamped late
        // comes less than that after it: only three quarters of a period make a lost frame.
        if (headerTime > due) {
            const LONGLONG periods = (headerTime - due + period_ / 4) / period_;
            missing = static_cast<LONG>(std::clamp<LONGLONG>(periods, 0, 1'000'000));
        }
    }
    for (LONG i = std::max<LONG>(0, missing - static_cast<LONG>(kUndoableDrops)); i < missing; ++i) {
        Record(nextNumber_ + i);
        if (inferred_.size() == kUndoableDrops) {
            inferred_.erase(inferred_.begin());
        }
        inferred_.push_back(nextNumber_ + i);
    }
    nextNumber_ += missing;
    inferredDrops_ += missing;
    frameNumber = nextNumber_++;
    // A stamp earlier than the schedule: the schedule was drawn through late stamps. Not from a
    // frame that was taken to come after lost ones: if it was only late, its number runs ahead.
    if (missing == 0) {
        schedule_ = std::min(schedule_, headerTime - frameNumber * period_);
    }
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
    ++discarded_;
}

void DropLedger::ModuleLost(LONGLONG total) noexcept
{
    if (!moduleCounts_) {
        moduleBase_ = total;
        moduleCounts_ = true;
    }
    moduleDrops_ = static_cast<LONG>(std::clamp<LONGLONG>(total - moduleBase_, 0, LONG_MAX));
}

LONG DropLedger::Dropped() const noexcept
{
    return (moduleCounts_ ? moduleDrops_.load() : inferredDrops_.load()) + discarded_.load();
}

void DropLedger::Record(LONGLONG frameNumber)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    if (recent_.size() == kRecentDrops) {
        recent_.erase(recent_.begin());
    }
    recent_.push_back(static_cast<LONG>(frameNumber));
}

void DropLedger::Forget(LONG count)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    for (LONG i = 0; i < count; ++i) {
        const LONGLONG number = inferred_.back();
        inferred_.pop_back();
        const auto at = std::find(recent_.rbegin(), recent_.rend(), static_cast<LONG>(number));
        if (at != recent_.rend()) {
            recent_.erase(std::next(at).base());
        }
    }
    inferredDrops_ -= count;
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
