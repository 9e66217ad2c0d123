#pragma once
// The host's grab and read threads on the raw interface pointer, run as a host runs them, with
// every frame the read thread gets checked against the frame number the simulated board wrote into
// it: seen once, never backwards, gaps added up.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "CorvathSdk.h"
#include "tests/support/BoundedWait.h"

namespace orvane::test {

struct FrameTally {
    std::int64_t frames = 0;     // frames read
    std::int64_t first = -1;     // board frame numbers of the first and the last
    std::int64_t last = -1;
    std::int64_t backwards = 0;  // frames whose number did not rise (a frame twice included)
    std::int64_t gaps = 0;       // numbers skipped between consecutive frames
    std::int64_t unmarked = 0;   // frames without the board's header
};

class HostCycle {
public:
    // `slowGrab`: the grab thread sleeps a millisecond after every GrabNext and 20 every 50th,
    // a host whose grab thread falls behind the board now and then.
    HostCycle(ICorvathGenericGrabber* grabber, bool slowGrab);
    ~HostCycle();
    HostCycle(const HostCycle&) = delete;
    HostCycle& operator=(const HostCycle&) = delete;

    // Waits until `frames` frames in all have been read; false when the bound passes first.
    bool WaitForFrames(std::int64_t frames, DWORD milliseconds) const;
    std::int64_t FramesRead() const { return read_.load(); }
    // Ends the grab thread (waking it while it waits); true when it ended.
    bool StopGrabbing();
    // After DisableGrab: the read thread reads what is left in the ready list, then ends.
    bool DrainAndStop();
    // The figures, once the read thread has ended.
    const FrameTally& Tally() const { return tally_; }

private:
    void ReadLoop();
    ICorvathGenericGrabber* grabber_;
    std::atomic<bool> grabbing_{true};
    std::atomic<bool> draining_{false};
    std::atomic<std::int64_t> read_{0};
    FrameTally tally_;
    std::unique_ptr<BoundedThread> grabThread_;
    std::unique_ptr<BoundedThread> readThread_;
};

}  // namespace orvane::test
