#pragma once
// Control interface of the simulated board OHDW32, for tests and tools. Exported by name
// (cdecl, undecorated), never used by the module itself. Every function returns 0 on success and
// a nonzero value for invalid arguments, unless said otherwise. All functions are thread-safe.
//
// With no control call at all the board behaves as the defaults below, so the module runs
// against it unchanged.
//
// Boards present: the environment variable ORVANE_SIMBOARDS, when set, lists them by serial number,
// separated by commas ("OH72391,OH72392,OH72393"; blanks around a number are ignored, empty means no
// board). Board i (from 1) is {"Orvane HD Grabber", serial i, board index i, type 5}. It is read
// when the library loads and at every SimBoard_Reset, so every process of a run sees the same
// boards, and each of them can be open in one process at a time. A value that cannot be used (a
// number longer than 8 characters or listed twice, more than 15) gives no board at all and says so
// on the debug output. Unset: the one default board below, private to the process.
//
// Settings, counters and faults exist for every board: the functions without a board index act on
// all of them (and on boards added later), those with one on that board alone (nonzero answer when
// no board has that index).
#include <windows.h>

#if defined(OHDW32_BUILD)
#define SIMBOARD_API
#else
#define SIMBOARD_API __declspec(dllimport)
#endif

// One simulated board.
struct SimBoardDescription {
    char name[32];     // board name (at most 31 characters); the module wants "Orvane" in it
    char serial[8];    // serial number text (NUL-padded; 8 characters fill it without a terminator)
    WORD boardIndex;   // number used to open the board; 1..0x7FFF, unique
    short boardType;   // board information item 4 (selects the model table entry)
};

// SimBoard_SetFrameRate: frames as fast as the consumer gives blocks back (benchmarks).
#define SIMBOARD_RATE_UNLIMITED (-1.0)
// SimBoard_SetFrameRate: the rate the mode's timings give (horizontal frequency / vertical total).
#define SIMBOARD_RATE_FROM_MODE 0.0

// SimBoard_SetPainting: the whole test pattern (default), or only the frame header, so that a
// benchmark measures the frame path rather than the painting.
#define SIMBOARD_PAINT_PICTURE 0
#define SIMBOARD_PAINT_HEADER_ONLY 1

extern "C" {
// Back to the defaults: stops every producer, closes every stream and board, forgets faults and
// counters. Defaults: the boards of ORVANE_SIMBOARDS when it is set, else one board
// {"Orvane HD Grabber", "OH72391", board index 1, type 5}; signal
// present, rate from the mode, no drops, no time code, producer running.
SIMBOARD_API int __cdecl SimBoard_Reset(void);

// Replaces the boards present (0..15 of them). Open boards are closed first (as if unplugged).
SIMBOARD_API int __cdecl SimBoard_SetBoards(const SimBoardDescription* boards, int count);

// Video signal present (nonzero) or absent; may change in the middle of a stream: while absent
// the producer's ticks pass without frames (counter "ticksNoSignal").
SIMBOARD_API int __cdecl SimBoard_SetSignal(int present);
SIMBOARD_API int __cdecl SimBoard_SetBoardSignal(WORD boardIndex, int present);

// Frame-rate override in frames per second: SIMBOARD_RATE_FROM_MODE, a positive rate up to
// 100000, or SIMBOARD_RATE_UNLIMITED.
SIMBOARD_API int __cdecl SimBoard_SetFrameRate(double framesPerSecond);
SIMBOARD_API int __cdecl SimBoard_SetBoardFrameRate(WORD boardIndex, double framesPerSecond);

// Percentage (0..100) of ticks whose frame is dropped on purpose ("framesDroppedInjected").
SIMBOARD_API int __cdecl SimBoard_SetDropPercent(int percent);
SIMBOARD_API int __cdecl SimBoard_SetBoardDropPercent(WORD boardIndex, int percent);

// The next `count` calls of `operation` ("eHD_OpenBoard" or "OpenBoard") answer `status`
// without doing anything; count 0 clears. Operations without a status result: eHD_GetBoardCount
// answers (short)status, eHD_CreateMode 0, eHD_GetModelTable null, eHD_CloseBoard does nothing.
SIMBOARD_API int __cdecl SimBoard_FailNext(const char* operation, WORD status, int count);
// The same for the calls addressed to one board (by its board index, mode handle or board id). A
// fault armed for every board is answered first.
SIMBOARD_API int __cdecl SimBoard_FailNextOnBoard(WORD boardIndex, const char* operation, WORD status, int count);

// Makes the next call of `operation` (named as for SimBoard_FailNext) take `milliseconds` longer,
// once; 0 disarms. The counter "callsDelayed" rises when the slow call begins.
SIMBOARD_API int __cdecl SimBoard_DelayNext(const char* operation, DWORD milliseconds);

// Pauses (nonzero) or resumes the producer of every stream; resuming restarts its schedule. Once a
// pause has returned, no further frame is delivered until the resume, not even one being painted.
SIMBOARD_API int __cdecl SimBoard_PauseProducer(int paused);
SIMBOARD_API int __cdecl SimBoard_PauseBoardProducer(WORD boardIndex, int paused);

// BCD time code in the first four bytes of every frame (frames, seconds, minutes, hours), counted
// from 00:00:00:00 at frame number 0 with `framesPerSecond` (1..99) frames a second.
SIMBOARD_API int __cdecl SimBoard_SetTimeCode(int enabled, int framesPerSecond);

// What each frame gets written into its block: SIMBOARD_PAINT_PICTURE or SIMBOARD_PAINT_HEADER_ONLY.
// The header (frame number, time code ...) is the same either way; the rest of a block painted
// header-only keeps whatever it held.
SIMBOARD_API int __cdecl SimBoard_SetPainting(int mode);

// Counters since the last reset; -1 for an unknown name. Names:
//   framesProduced, framesDelivered, framesReleased, framesDroppedNoBlock, framesDroppedInjected,
//   ticksSkipped, ticksNoSignal, blocksHeldByBoard, blocksReady, blocksHandedOver,
//   producerThreads, streamsOpen, streamsStarted, boardsOpen, modes, hardResets, faultsInjected,
//   callsDelayed, whiteBalanceMeasurements, frameRateMilliHz (rate of the last started producer),
//   calls.<operation> (e.g. "calls.eHD_SetMode").
SIMBOARD_API long long __cdecl SimBoard_GetCounter(const char* name);
// The same counters for one board (frameRateMilliHz: its producer's rate; callsDelayed: 0, delays
// belong to the device); -1 also for an unknown board index.
SIMBOARD_API long long __cdecl SimBoard_GetBoardCounter(WORD boardIndex, const char* name);

// Sets the cumulative counters to 0, the device's and every board's (current levels such as
// blocksHeldByBoard stay).
SIMBOARD_API int __cdecl SimBoard_ResetCounters(void);

// Performance-counter time (QueryPerformanceCounter) at which `block` was last filled and queued.
SIMBOARD_API int __cdecl SimBoard_GetFillTime(const void* block, LONGLONG* qpc);
}
