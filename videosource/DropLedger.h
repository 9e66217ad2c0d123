#pragma once
// The frames of one run, delivered and lost, as IAMDroppedFrames reports them. A lost frame is one
// the board or the module never handed over: its place shows in the header times of the frames that
// did arrive. Each frame is due a whole number of periods after the run's first; a header is
// stamped when the frame is picked up, never before it is due, and late by a varying amount, so the
// schedule is drawn through the earliest stamps seen and a frame is placed on it: a frame after a
// lost one comes a whole period after its place, so a stamp late by under three quarters of a
// period loses no frame. One later still looks like a lost frame; when a later frame then comes a period or more before its place on the
// schedule (which only a count that ran ahead makes possible), the frames last taken for lost are
// counted again as arrived. The count is right again once the stamps are, whatever their jitter in
// between.
// Where the module counts its own losses (all causes, the board's skipped frame numbers among them),
// those are the run's lost frames instead of the gaps in the times: the same frames, counted
// exactly. The times still number the frames and flag the discontinuities. Frames that reached the
// source but could not be delivered are counted apart: the module handed them over. Written by the
// delivery thread, read by any thread.
#include <strmif.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace orvane::videosource {

class DropLedger {
public:
    static constexpr size_t kRecentDrops = 64;
    static constexpr size_t kUndoableDrops = 1024;

    // A new run at `framePeriod` (100 ns units): the counts start from zero.
    void Start(REFERENCE_TIME framePeriod);

    // One frame that arrived while running, by its header time: answers how many frames before it
    // were lost, and gives it its frame number in the run (lost frames counted).
    LONG Arrived(REFERENCE_TIME headerTime, LONGLONG& frameNumber);
    void Delivered(size_t bytes) noexcept;
    // A frame that arrived but could not be delivered.
    void Discarded(LONGLONG frameNumber);
    // The module's count of lost frames (since it was initialised) as a frame arrives; the first
    // of a run is where the run's count starts.
    void ModuleLost(LONGLONG total) noexcept;

    LONG Dropped() const noexcept;
    LONG DeliveredCount() const noexcept { return delivered_; }
    LONG AverageFrameSize() const noexcept;
    // The numbers of the most recently lost frames, oldest first, at most `capacity`.
    std::vector<LONG> RecentDrops(size_t capacity) const;

private:
    void Record(LONGLONG frameNumber);
    void Forget(LONG count);  // the latest `count` numbers taken for lost, counted again as arrived

    mutable std::mutex mutex_;  // the recent drops
    std::vector<LONG> recent_;
    REFERENCE_TIME period_ = 0;
    REFERENCE_TIME schedule_ = 0;  // when frame 0 was due, by the earliest stamps
    bool started_ = false;
    std::vector<LONGLONG> inferred_;  // the numbers taken for lost from the times, latest last
    LONGLONG nextNumber_ = 0;
    std::atomic<LONG> inferredDrops_{0};  // gaps in the times
    std::atomic<LONG> discarded_{0};
    std::atomic<bool> moduleCounts_{false};
    LONGLONG moduleBase_ = 0;
    std::atomic<LONG> moduleDrops_{0};     // the module's count since the run's first frame
    std::atomic<LONG> delivered_{0};
    std::atomic<LONGLONG> deliveredBytes_{0};
};

}  // namespace orvane::videosource
