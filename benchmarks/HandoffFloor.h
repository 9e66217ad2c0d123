#pragma once
// The floor of the frame path: the module's four threads and the same hand-offs between them,
// built from bare critical sections, events and lists, with nothing else. A frame is only its
// header, written by the producer as the simulated board writes it when it paints the header
// only (the module's run is measured that way too), so both runs pay for the same pixels: none.
//
//   board producer: takes the first block it holds, writes the header, notes the fill time,
//                   queues the block as filled and sets the auto-reset frame event; holding no
//                   block, it waits (5 ms at most) to be given one back;
//   capture thread: waits on the frame event (200 ms at most), takes every filled block and moves
//                   its image from the grab list (or, when the grab thread is behind, the free list)
//                   to the ready list, then sets the manual-reset read event;
//   read thread:    waits while the ready list is empty (as GetCurrent does); takes the first
//                   ready image, notes the latency, moves it to the free list, wakes the grab
//                   thread and gives the block back to the producer;
//   grab thread:    waits while the free list is empty (as GrabNext does) and moves the first free
//                   image to the end of the grab list.
// Events are reset and set as the module's lists do: reset by a thread on its way into a wait, set
// only when a thread waits.
#include <windows.h>

#include <vector>

namespace orvane::bench {

struct FloorResult {
    double seconds = 0;
    unsigned long long frames = 0;
    std::vector<double> latencyMicroseconds;  // fill -> the read thread has the frame
};

FloorResult RunHandoffFloor(int buffers, double seconds);

}  // namespace orvane::bench
