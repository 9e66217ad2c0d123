#include "tools/common/BoardCounters.h"

#include "simboard/SimBoardControl.h"

namespace orvane::host {

BoardCounters ReadBoardCounters()
{
    auto read = [](const char* name) {
        const long long value = SimBoard_GetCounter(name);
        return value < 0 ? 0 : static_cast<std::int64_t>(value);
    };
    BoardCounters c;
    c.produced = read("framesProduced");
    c.delivered = read("framesDelivered");
    c.released = read("framesReleased");
    c.droppedNoBlock = read("framesDroppedNoBlock");
    c.droppedInjected = read("framesDroppedInjected");
    c.ticksSkipped = read("ticksSkipped");
    c.ticksNoSignal = read("ticksNoSignal");
    return c;
}

}  // namespace orvane::host
