#pragma once
// The simulated device: one per-process board state inside the DLL, guarded by two locks.
//
// Each board has its own settings (signal, frame rate, drops, pause), counters and armed faults;
// the device keeps the sums of the counters, the faults armed for every board, and the settings a
// board starts with. The boards present come from the environment variable ORVANE_SIMBOARDS when
// it is set, so that every process of a run sees the same boards; such a board can be open in one
// process at a time, as real hardware (a named kernel object per board says which process has it).
//
// Locks: `controlLock` serialises the operations that start or join producer threads (stream
// open/start/stop/close, closing a board, the control functions that reset or replace boards);
// `stateLock` guards every field below and is held only briefly. Order: control, then state. A
// producer thread takes only the state lock, so joining it while holding the control lock is safe.
#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "interfaces/BoardLibrary.h"
#include "platform/OwnedHandle.h"
#include "simboard/FaultInjection.h"

namespace simboard {

struct Stream;  // LiveStream.h

struct BoardConfig {
    std::string name;
    std::string serial;  // at most 8 characters (the board list's field)
    WORD index = 0;
    short type = 0;
    int16_t id = 0;
    bool sharedByProcesses = false;  // from ORVANE_SIMBOARDS: open in one process at a time
};

// What a board produces and how, set for all boards or for one.
struct BoardSettings {
    bool signal = true;
    double rateOverride = 0.0;  // 0 = from the mode, < 0 = unlimited, > 0 = frames per second
    int dropPercent = 0;
    bool paused = false;
};

using ColourRegisters = std::array<BYTE, 6>;  // red/green/blue gain, red/green/blue offset

struct Counters {
    long long framesProduced = 0;
    long long framesDelivered = 0;
    long long framesReleased = 0;
    long long framesDroppedNoBlock = 0;
    long long framesDroppedInjected = 0;
    long long ticksSkipped = 0;
    long long ticksNoSignal = 0;
    long long hardResets = 0;
    long long faultsInjected = 0;
    long long callsDelayed = 0;
    long long whiteBalanceMeasurements = 0;
    long long streamsStarted = 0;
};

struct Fault {
    WORD status = 0;
    int remaining = 0;
    DWORD delayMilliseconds = 0;  // the next call is this slow, once
};

struct Board {
    BoardConfig config;
    bool open = false;
    DWORD openCount = 0;
    // Named parameters (one byte each) and the "ActiveMode" flag.
    BYTE brightness = 128, contrast = 128, hue = 128, saturation = 128;
    bool active = false;
    // Colour registers in use; white-balance state of the last measurement.
    ColourRegisters registers{};
    ColourRegisters preTestRegisters{};
    ColourRegisters measuredRegisters{};
    bool whiteBalanceMeasured = false;
    // The board's mode (one at a time) and the live stream on it.
    DWORD modeHandle = 0;
    ModeRecord mode{};
    std::unique_ptr<Stream> stream;
    // This board's own settings, counters, call counts and armed faults.
    BoardSettings settings;
    Counters counters;
    std::array<long long, kOpCount> calls{};
    std::array<Fault, kOpCount> faults{};
    int producerThreads = 0;
    long long frameRateMilliHz = 0;
    // While open, for a board shared by processes: the named object that marks it taken.
    orvane::UniqueKernelHandle claim;

    Board();
    Board(Board&&) noexcept;
    Board& operator=(Board&&) noexcept;
    ~Board();
};

struct Device {
    Device();
    ~Device();

    CRITICAL_SECTION stateLock;
    CRITICAL_SECTION controlLock;
    LONGLONG qpcFrequency = 1;

    std::vector<Board> boards;
    // Control settings: what every board starts with (and what the device-wide setters gave all).
    BoardSettings settings;
    bool timeCode = false;
    int timeCodeRate = 30;
    bool headerOnly = false;  // paint only the frame header (SimBoard_SetPainting)

    Counters counters;
    std::array<long long, kOpCount> calls{};
    std::array<Fault, kOpCount> faults{};
    int producerThreads = 0;
    long long frameRateMilliHz = 0;
    DWORD nextModeHandle = 0x4F480001;
    std::unordered_map<const void*, LONGLONG> fillTimes;
    // Descriptors of closed streams are kept, so that a stale descriptor pointer never matches a
    // descriptor of a later stream.
    std::vector<std::unique_ptr<BufferDescriptor[]>> retiredDescriptors;
    // Detail of the last eHD_ReadConfigFile that did not answer 0, for eHD_GetErrorText.
    WORD lastConfigStatus = 0;
    std::string lastConfigDetail;

    Board* FindBoard(WORD index);
    Board* FindBoardById(int16_t id);
    Board* FindMode(DWORD handle);
    // Settings and boards back to the defaults (the boards of ORVANE_SIMBOARDS, when it is set);
    // streams must be closed already.
    void RestoreDefaults();
    // Replaces the boards present; each starts with the device's settings.
    void ReplaceBoards(std::vector<BoardConfig> configs);
    // Adds to a cumulative counter of the device and of the board it concerns (if any).
    void Count(Board* board, long long Counters::*counter, long long amount = 1);
};

Device& TheDevice();
void CreateDevice();
void DestroyDevice();

class StateGuard {
public:
    StateGuard() { EnterCriticalSection(&TheDevice().stateLock); }
    ~StateGuard() { LeaveCriticalSection(&TheDevice().stateLock); }
    StateGuard(const StateGuard&) = delete;
    StateGuard& operator=(const StateGuard&) = delete;
};

class ControlGuard {
public:
    ControlGuard() { EnterCriticalSection(&TheDevice().controlLock); }
    ~ControlGuard() { LeaveCriticalSection(&TheDevice().controlLock); }
    ControlGuard(const ControlGuard&) = delete;
    ControlGuard& operator=(const ControlGuard&) = delete;
};

// Runs an operation's body; a C++ exception (allocation failure) never leaves the DLL.
template <class Body>
WORD Guarded(Body&& body)
{
    try {
        return body();
    } catch (...) {
        return OHD_ERR_OUT_OF_MEMORY;
    }
}

LONGLONG QpcNow();

// Board registry helpers (BoardRegistry.cpp).
BoardConfig DefaultBoard();
// The boards of ORVANE_SIMBOARDS; false when it is not set (or cannot be used: then logged).
bool BoardsFromEnvironment(std::vector<BoardConfig>& configs);
// Board shared by processes: marks it taken by this process (false when another has it), frees
// it again, and tells whether another process has it.
bool ClaimBoard(Board& board);
void ReleaseClaim(Board& board);
bool ClaimedElsewhere(const Board& board);
int ModelIndexForBoardType(short type);
const ModelTable& TheModelTable();
ColourRegisters FactoryRegisters();
// Registers = factory + calibration, each clamped to 0..255.
ColourRegisters RegistersFromCalibration(const int32_t calibration[6]);

// Copies text into a fixed buffer, NUL-terminated, cut to fit.
void CopyText(char* destination, size_t capacity, const std::string& text);

}  // namespace simboard
