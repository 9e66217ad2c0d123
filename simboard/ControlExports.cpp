// The control interface (SimBoardControl.h): exported by name for tests and tools.
#include "simboard/SimBoardControl.h"

#include <cstring>
#include <string>
#include <vector>

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

long long CountBlocks(const std::vector<const Board*>& boards, BlockState wanted, bool includeFilling)
{
    long long n = 0;
    for (const Board* board : boards) {
        if (board->stream == nullptr) {
            continue;
        }
        for (BlockState state : board->stream->states) {
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

// A counter of the whole device (`board` null) or of one board. State lock held.
long long CounterOf(const char* name, const Board* board)
{
    const Device& d = TheDevice();
    const Counters& c = board != nullptr ? board->counters : d.counters;
    const auto& calls = board != nullptr ? board->calls : d.calls;
    std::vector<const Board*> boards;
    if (board != nullptr) {
        boards.push_back(board);
    } else {
        for (const Board& each : d.boards) {
            boards.push_back(&each);
        }
    }
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
        {"producerThreads", board != nullptr ? board->producerThreads : d.producerThreads},
        {"frameRateMilliHz", board != nullptr ? board->frameRateMilliHz : d.frameRateMilliHz},
    };
    for (const auto& entry : simple) {
        if (std::strcmp(name, entry.name) == 0) {
            return entry.value;
        }
    }
    if (std::strcmp(name, "blocksHeldByBoard") == 0) {
        return CountBlocks(boards, BlockState::HeldByBoard, true);
    }
    if (std::strcmp(name, "blocksReady") == 0) {
        return CountBlocks(boards, BlockState::Ready, false);
    }
    if (std::strcmp(name, "blocksHandedOver") == 0) {
        return CountBlocks(boards, BlockState::HandedOver, false);
    }
    long long streams = 0, open = 0, modes = 0;
    for (const Board* each : boards) {
        streams += each->stream != nullptr ? 1 : 0;
        open += each->open ? 1 : 0;
        modes += each->modeHandle != 0 ? 1 : 0;
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
        return op != 0 ? calls[static_cast<size_t>(op)] : -1;
    }
    return -1;
}

// Changes one setting on every board and for boards yet to come (`index` 0), or on one board;
// false when there is no board with that index. State lock held.
template <class Change>
bool ChangeSettings(WORD index, Change&& change)
{
    Device& device = TheDevice();
    if (index != 0) {
        Board* board = device.FindBoard(index);
        if (board == nullptr) {
            return false;
        }
        change(board->settings);
        return true;
    }
    change(device.settings);
    for (Board& board : device.boards) {
        change(board.settings);
    }
    return true;
}

bool ValidRate(double framesPerSecond)
{
    return framesPerSecond == SIMBOARD_RATE_UNLIMITED || framesPerSecond == SIMBOARD_RATE_FROM_MODE ||
           (framesPerSecond > 0 && framesPerSecond <= 100000);
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
        // The serial field may be filled to its last byte, without a terminator.
        if (!ValidText(b.name, sizeof b.name) || b.boardIndex == 0 || b.boardIndex > 0x7FFF) {
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
        std::vector<BoardConfig> configs;
        for (int i = 0; i < count; ++i) {
            BoardConfig config;
            config.name = boards[i].name;
            config.serial.assign(boards[i].serial, strnlen(boards[i].serial, sizeof boards[i].serial));
            config.index = boards[i].boardIndex;
            config.type = boards[i].boardType;
            config.id = static_cast<int16_t>(0x0101 + i);
            configs.push_back(std::move(config));
        }
        StateGuard guard;
        TheDevice().ReplaceBoards(std::move(configs));
        return 0;
    } catch (...) {
        return 1;
    }
}

int __cdecl SimBoard_SetSignal(int present)
{
    return SimBoard_SetBoardSignal(0, present);
}

int __cdecl SimBoard_SetBoardSignal(WORD boardIndex, int present)
{
    StateGuard guard;
    return ChangeSettings(boardIndex, [&](BoardSettings& settings) { settings.signal = present != 0; }) ? 0 : 1;
}

int __cdecl SimBoard_SetFrameRate(double framesPerSecond)
{
    return SimBoard_SetBoardFrameRate(0, framesPerSecond);
}

int __cdecl SimBoard_SetBoardFrameRate(WORD boardIndex, double framesPerSecond)
{
    if (!ValidRate(framesPerSecond)) {
        return 1;
    }
    StateGuard guard;
    if (!ChangeSettings(boardIndex, [&](BoardSettings& settings) { settings.rateOverride = framesPerSecond; })) {
        return 1;
    }
    WakeProducers();
    return 0;
}

int __cdecl SimBoard_SetDropPercent(int percent)
{
    return SimBoard_SetBoardDropPercent(0, percent);
}

int __cdecl SimBoard_SetBoardDropPercent(WORD boardIndex, int percent)
{
    if (percent < 0 || percent > 100) {
        return 1;
    }
    StateGuard guard;
    return ChangeSettings(boardIndex, [&](BoardSettings& settings) { settings.dropPercent = percent; }) ? 0 : 1;
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

int __cdecl SimBoard_FailNextOnBoard(WORD boardIndex, const char* operation, WORD status, int count)
{
    const int op = OpFromName(operation);
    if (op == 0 || count < 0) {
        return 1;
    }
    StateGuard guard;
    Board* board = TheDevice().FindBoard(boardIndex);
    if (board == nullptr) {
        return 1;
    }
    ArmBoardFault(*board, static_cast<Op>(op), status, count);
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
    return SimBoard_PauseBoardProducer(0, paused);
}

int __cdecl SimBoard_PauseBoardProducer(WORD boardIndex, int paused)
{
    StateGuard guard;
    if (!ChangeSettings(boardIndex, [&](BoardSettings& settings) { settings.paused = paused != 0; })) {
        return 1;
    }
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
    try {
        StateGuard guard;
        return CounterOf(name, nullptr);
    } catch (...) {
        return -1;
    }
}

long long __cdecl SimBoard_GetBoardCounter(WORD boardIndex, const char* name)
{
    if (name == nullptr) {
        return -1;
    }
    try {
        StateGuard guard;
        const Board* board = TheDevice().FindBoard(boardIndex);
        return board != nullptr ? CounterOf(name, board) : -1;
    } catch (...) {
        return -1;
    }
}

int __cdecl SimBoard_ResetCounters(void)
{
    StateGuard guard;
    Device& d = TheDevice();
    d.counters = Counters{};
    d.calls.fill(0);
    for (Board& board : d.boards) {
        board.counters = Counters{};
        board.calls.fill(0);
    }
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
