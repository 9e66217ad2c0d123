#pragma once
// The simulated board's own counters (read through BoardControl), by which host-side programs tell
// frames the board dropped from frames the host missed.
#include <cstdint>

namespace orvane::host {

struct BoardCounters {
    std::int64_t produced = 0;
    std::int64_t delivered = 0;        // handed to the module (eHD_GetStreamBuffer)
    std::int64_t released = 0;         // given back by the module
    std::int64_t droppedNoBlock = 0;   // no free block queued when the frame came
    std::int64_t droppedInjected = 0;  // dropped on purpose by a fault setting
    std::int64_t ticksSkipped = 0;     // producer fell behind its schedule
    std::int64_t ticksNoSignal = 0;

    std::int64_t Dropped() const { return droppedNoBlock + droppedInjected; }
};

}  // namespace orvane::host
