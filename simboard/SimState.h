#pragma once
// The simulated device: one per-process board state inside the DLL, guarded by two locks.
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
#include "simboard/FaultInjection.h"

namespace simboard {

struct Stream;  // LiveStream.h

struct BoardConfig {
    std::string name;
    std::string serial;
    WORD index = 0;
    short type = 0;
    int16_t id = 0;
};

using ColourRegisters = std::array<BYTE, 6>;  // red/green/blue gain, red/green/blue offset

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

    Board();
    Board(Board&&) noexcept;
    Board& operator=(Board&&) noexcept;
    ~Board();
};

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

struct Device {
    Device();
    ~Device();

    CRITICAL_SECTION stateLock;
    CRITICAL_SECTION controlLock;
    LONGLONG qpcFrequency = 1;

    std::vector<Board> boards;
    // Control settings.
    bool signal = true;
    double rateOverride = 0.0;  // 0 = from the mode, < 0 = unlimited, > 0 = frames per second
    int dropPercent = 0;
    bool paused = false;
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
    // Settings and boards back to the defaults; streams must be closed already.
    void RestoreDefaults();
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
int ModelIndexForBoardType(short type);
const ModelTable& TheModelTable();
ColourRegisters FactoryRegisters();
// Registers = factory + calibration, each clamped to 0..255.
ColourRegisters RegistersFromCalibration(const int32_t calibration[6]);

// Copies text into a fixed buffer, NUL-terminated, cut to fit.
void CopyText(char* destination, size_t capacity, const std::string& text);

}  // namespace simboard
