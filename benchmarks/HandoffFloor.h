#pragma once
// The floor of the frame path: the same chain of thread handoffs the module's frames take, built
// from bare threads, critical sections and events, with no module and no pixels.
//
//   producer ("the board"): takes a queued buffer index, notes the fill time, queues it as filled
//                           and sets the auto-reset frame event;
//   capture thread:         waits on the frame event (200 ms at most), moves filled indexes to
//                           the ready queue and sets the manual-reset read event;
//   read thread ("host"):   waits on the read event, takes the oldest ready index, notes the
//                           latency and queues the index for the producer again.
#include <windows.h>

#include <vector>

namespace orvane::bench {

struct FloorResult {
    double seconds = 0;
    unsigned long long frames = 0;
    std::vector<double> latencyMicroseconds;  // fill -> read thread wakes with the frame
};

FloorResult RunHandoffFloor(int buffers, double seconds);

}  // namespace orvane::bench
