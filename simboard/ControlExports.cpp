// The control interface (SimBoardControl.h): exported by name for tests and tools.
#include "simboard/SimBoardControl.h"

#include <cstring>
#include <string>

#include "simboard/FaultInjection.h"
#include "simboard/LiveStream.h"
#include "simboard/SimState.h"

namespace simboard {

namespace {

// Stops and closes every stream. Control lock held.
void CloseAllStreams()
{
    std::vector<WORD> indices;
    {
        StateGuard guard;
        for (const Board& board : TheDevice().boards) {
            indices.push_back(board.config.index);
        }
    }
    for (WORD index : indices) {
        CloseBoardStream(index);
    }
}

long long CountBlocks(BlockState wanted, bool includeFilling)
{
    long long n = 0;
    for (const Board& board : TheDevice().boards) {
        if (board.stream == nullptr) {
            continue;
        }
        for (BlockState state : board.stream->states) {
            if (state == wanted || (includeFilling && state == BlockState::Filling)) {
                ++n;
            }
        }
    }
    return n;
}

bool ValidText(const char* text, size_t capacity)
{
    return text != nullptr && memchr(text, '\0', capacity) != nullptr;
}

}  // namespace

}  // namespace simboard

using namespace simboard;

extern "C" {

int __cdecl SimBoard_Reset(void)
{
    try {
        ControlGuard control;
        CloseAllStreams();
        StateGuard guard;
        TheDevice().RestoreDefaults();
        return 0;
    } catch (...) {
        return 1;
    }
}

int __cdecl SimBoard_SetBoards(const SimBoardDescription* boards, int count)
{
    if (count < 0 || count > kOhdMaxBoards || (count > 0 && boards == nullptr)) {
        return 1;
    }
    for (int i = 0; i < count; ++i) {
        const SimBoardDescription& b = boards[i];
        if (!ValidText(b.name, sizeof b.name) || !ValidText(b.serial, sizeof b.serial) || b.boardIndex == 0 ||
            b.boardIndex > 0x7FFF) {
            return 1;
        }
        for (int j = 0; j < i; ++j) {
            if (boards[j].boardIndex == b.boardIndex) {
                return 1;
            }
        }
    }
    try {
        ControlGuard control;
        CloseAllStreams();
        StateGuard guard;
        std::vector<Board> replacement;
        for (int i = 0; i < count; ++i) {
            Board board;
            board.config.name = boards[i].name;
            board.config.serial = boards[i].serial;
            board.config.index = boards[i].boardIndex;
            board.config.type = boards[i].boardType;
            board.config.id = static_cast<int16_t>(0x0101 + i);
            board.registers = FactoryRegisters();
            replacement.push_back(std::move(board));
        }
        TheDevice().boards = std::move(replacement);
        return 0;
    } catch (...) {
        return 1;
    }
}

int __cdecl SimBoard_SetSignal(int present)
{
    StateGuard guard;
    TheDevice().signal = present != 0;
    return 0;
}

int __cdecl SimBoard_SetFrameRate(double framesPerSecond)
{
    if (!(framesPerSecond == SIMBOARD_RATE_UNLIMITED || framesPerSecond == SIMBOARD_RATE_FROM_MODE ||
          (framesPerSecond > 0 && framesPerSecond <= 100000))) {
        return 1;
    }
    StateGuard guard;
    TheDevice().rateOverride = framesPerSecond;
    WakeProducers();
    return 0;
}

int __cdecl SimBoard_SetDropPercent(int percent)
{
    if (percent < 0 || percent > 100) {
        return 1;
    }
    StateGuard guard;
    TheDevice().dropPercent = percent;
    return 0;
}

int __cdecl SimBoard_FailNext(const char* operation, WORD status, int count)
{
    const int op = OpFromName(operation);
    if (op == 0 || count < 0) {
        return 1;
    }
    StateGuard guard;
    ArmFault(static_cast<Op>(op), status, count);
    return 0;
}

int __cdecl SimBoard_DelayNext(const char* operation, DWORD milliseconds)
{
    const int op = OpFromName(operation);
    if (op == 0) {
        return 1;
    }
    StateGuard guard;
    ArmDelay(static_cast<Op>(op), milliseconds);
    return 0;
}

int __cdecl SimBoard_PauseProducer(int paused)
{
    StateGuard guard;
    TheDevice().paused = paused != 0;
    WakeProducers();
    return 0;
}

int __cdecl SimBoard_SetTimeCode(int enabled, int framesPerSecond)
{
    if (enabled != 0 && (framesPerSecond < 1 || framesPerSecond > 99)) {
        return 1;
    }
    StateGuard guard;
    TheDevice().timeCode = enabled != 0;
    if (enabled != 0) {
        TheDevice().timeCodeRate = framesPerSecond;
    }
    return 0;
}

int __cdecl SimBoard_SetPainting(int mode)
{
    if (mode != SIMBOARD_PAINT_PICTURE && mode != SIMBOARD_PAINT_HEADER_ONLY) {
        return 1;
    }
    StateGuard guard;
    TheDevice().headerOnly = mode == SIMBOARD_PAINT_HEADER_ONLY;
    return 0;
}

long long __cdecl SimBoard_GetCounter(const char* name)
{
    if (name == nullptr) {
        return -1;
    }
    StateGuard guard;
    const Device& d = TheDevice();
    const Counters& c = d.counters;
    const struct {
        const char* name;
        long long value;
    } simple[] = {
        {"framesProduced", c.framesProduced},
        {"framesDelivered", c.framesDelivered},
        {"framesReleased", c.framesReleased},
        {"framesDroppedNoBlock", c.framesDroppedNoBlock},
        {"framesDroppedInjected", c.framesDroppedInjected},
        {"ticksSkipped", c.ticksSkipped},
        {"ticksNoSignal", c.ticksNoSignal},
        {"hardResets", c.hardResets},
        {"faultsInjected", c.faultsInjected},
        {"callsDelayed", c.callsDelayed},
        {"whiteBalanceMeasurements", c.whiteBalanceMeasurements},
        {"streamsStarted", c.streamsStarted},
        {"producerThreads", d.producerThreads},
        {"frameRateMilliHz", d.frameRateMilliHz},
    };
    for (const auto& entry : simple) {
        if (std::strcmp(name, entry.name) == 0) {
            return entry.value;
        }
    }
    if (std::strcmp(name, "blocksHeldByBoard") == 0) {
        return CountBlocks(BlockState::HeldByBoard, true);
    }
    if (std::strcmp(name, "blocksReady") == 0) {
        return CountBlocks(BlockState::Ready, false);
    }
    if (std::strcmp(name, "blocksHandedOver") == 0) {
        return CountBlocks(BlockState::HandedOver, false);
    }
    long long streams = 0, open = 0, modes = 0;
    for (const Board& board : d.boards) {
        streams += board.stream != nullptr ? 1 : 0;
        open += board.open ? 1 : 0;
        modes += board.modeHandle != 0 ? 1 : 0;
    }
    if (std::strcmp(name, "streamsOpen") == 0) {
        return streams;
    }
    if (std::strcmp(name, "boardsOpen") == 0) {
        return open;
    }
    if (std::strcmp(name, "modes") == 0) {
        return modes;
    }
    if (std::strncmp(name, "calls.", 6) == 0) {
        const int op = OpFromName(name + 6);
        return op != 0 ? d.calls[static_cast<size_t>(op)] : -1;
    }
    return -1;
}

int __cdecl SimBoard_ResetCounters(void)
{
    StateGuard guard;
    Device& d = TheDevice();
    d.counters = Counters{};
    d.calls.fill(0);
    return 0;
}

int __cdecl SimBoard_GetFillTime(const void* block, LONGLONG* qpc)
{
    if (block == nullptr || qpc == nullptr) {
        return 1;
    }
    StateGuard guard;
    const auto found = TheDevice().fillTimes.find(block);
    if (found == TheDevice().fillTimes.end()) {
        return 1;
    }
    *qpc = found->second;
    return 0;
}

}  // extern "C"
