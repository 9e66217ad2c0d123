#pragma once
// Writing a time source for the Orvane grabber module.
//
// A time source is a DLL named in the registry value "TimeSourceDLL" under the host's registry
// path ("System" or an empty text means the system clock). At every grab start the module loads
// it with LoadLibraryW (the usual search rules), looks up the seventeen exports below by name and
// accepts it only when the fifteen required ones are all there; then it calls Initialize. Every
// export is a plain C function with the __cdecl convention (the caller removes the arguments), so
// the names are exported undecorated:
//
//     extern "C" __declspec(dllexport) unsigned char __cdecl Initialize(void) { ... }
//
// This header is all a plug-in needs; it depends on nothing but the C++ standard headers.
//
// What the module calls, when, and from which thread:
//
//   Initialize               once, right after the library was accepted (grab start, host thread).
//                            Nonzero: ready. Zero: the module releases the library and uses the
//                            system clock until the next grab start.
//   ClearEvents              first thing at every later grab start, on the plug-in held from the
//                            previous one (host thread; no capture thread is running).
//   ProcessImageData         once per captured frame, on the module's capture thread, and on the
//                            host's thread while a start or stop drains the queued frames. The
//                            header already holds the system-clock time; the plug-in may rewrite
//                            its time fields and the four time-code bytes at the start of the
//                            pixel data (frames, seconds, minutes, hours). The module's list locks
//                            are held: return quickly, never wait for the host, never call back
//                            into the module. The result is ignored. Calls never overlap.
//   Uninitialize             first thing when grabbing stops (host thread). The plug-in stays
//                            loaded; frames drained after it still pass through ProcessImageData,
//                            and a capture thread still ending may be inside ProcessImageData.
//   GetSynchronizationStatus,
//   IsGPSSupported,
//   GetGPSData,
//   StopReadingGPSData       whenever the host asks through its time-source interface, from any
//                            host thread, at any time between grab starts and during grabbing,
//                            concurrently with ProcessImageData. The values are passed through
//                            unchanged; their meaning is agreed between the plug-in and the host.
//   the others               looked up, never called. The signatures below are a suggestion.
//
// After ProcessImageData the module adds the time source offset and the time-code offset
// configured in the registry to what the plug-in left in the header and the time code. The library is released (without Uninitialize) at the
// grab start that loads its successor or selects the system clock, and when the grabber goes;
// the module never releases it while one of these calls is in progress.
//
// C++ exceptions: no export may let one escape. An exception can only unwind from the plug-in into
// the module when both share one unwinder; a 32-bit plug-in built with its own (static) runtime
// does not, and an exception leaving it ends the host process. Catch everything inside every
// export (OrvaneTimeSourceGuard below does that). Where unwinding does reach the module (64-bit
// builds, whose unwinding goes through the system's tables), an exception out of ProcessImageData
// makes the module stop calling the plug-in until the next grab start; the frame keeps the
// system-clock time plus the offsets. That is damage limitation, not a way to report an error.
// Processor faults inside the plug-in are not caught.
#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define ORVANE_TIMESOURCE_CALL __cdecl
#else
#define ORVANE_TIMESOURCE_CALL
#endif

// The frame header handed to ProcessImageData: 20 bytes in 32-bit builds, 24 in 64-bit ones (the
// pixel pointer is 8 bytes there, so the time fields move).
struct OrvaneFrameHeader {
    void* pixels;                // start of the frame's pixel data; the time code is its first 4 bytes
    std::uint32_t reserved1;     // the host's; leave alone
    std::uint32_t reserved2;     // the host's; leave alone
    std::int32_t seconds;        // seconds since 1970-01-01 00:00:00 UTC
    std::uint16_t milliseconds;  // 0..999
    std::uint16_t microseconds;  // 0..999
};

#if defined(_M_IX86) || defined(__i386__)
static_assert(sizeof(OrvaneFrameHeader) == 20, "32-bit frame header: 20 bytes");
static_assert(offsetof(OrvaneFrameHeader, reserved1) == 4 && offsetof(OrvaneFrameHeader, reserved2) == 8);
static_assert(offsetof(OrvaneFrameHeader, seconds) == 12);
static_assert(offsetof(OrvaneFrameHeader, milliseconds) == 16 && offsetof(OrvaneFrameHeader, microseconds) == 18);
#elif defined(_M_X64) || defined(__x86_64__)
static_assert(sizeof(OrvaneFrameHeader) == 24, "64-bit frame header: 24 bytes");
static_assert(offsetof(OrvaneFrameHeader, reserved1) == 8 && offsetof(OrvaneFrameHeader, reserved2) == 12);
static_assert(offsetof(OrvaneFrameHeader, seconds) == 16);
static_assert(offsetof(OrvaneFrameHeader, milliseconds) == 20 && offsetof(OrvaneFrameHeader, microseconds) == 22);
#endif

// The time code in the first four bytes of the pixel data, as broadcast time code lays it out:
// packed BCD, each field as wide as its digits need; the bits above a field are flags that the
// module keeps when it shifts the time code.
enum OrvaneTimecodeByte : unsigned { kTimecodeFrames = 0, kTimecodeSeconds = 1, kTimecodeMinutes = 2, kTimecodeHours = 3 };
constexpr std::uint8_t kTimecodeFieldMask[4] = {
    0x3F,  // frames: tens 0..3 in bits 4-5
    0x7F,  // seconds: tens 0..5 in bits 4-6
    0x7F,  // minutes: tens 0..5 in bits 4-6
    0x3F,  // hours: tens 0..2 in bits 4-5
};

// A time as the suggested signatures of the reference exports pass it.
struct OrvaneTimeSourceTime {
    std::int32_t seconds;
    std::uint16_t milliseconds;
    std::uint16_t microseconds;
};

extern "C" {
// Required and called.
typedef unsigned char(ORVANE_TIMESOURCE_CALL* OrvaneInitializeFn)(void);
typedef void(ORVANE_TIMESOURCE_CALL* OrvaneUninitializeFn)(void);
typedef void(ORVANE_TIMESOURCE_CALL* OrvaneClearEventsFn)(void);
typedef std::int32_t(ORVANE_TIMESOURCE_CALL* OrvaneGetSynchronizationStatusFn)(void);
typedef unsigned char(ORVANE_TIMESOURCE_CALL* OrvaneIsGPSSupportedFn)(void);
// `word` is the value the host passed, `flag` 0 or 1.
typedef void(ORVANE_TIMESOURCE_CALL* OrvaneGetGPSDataFn)(std::uint32_t word, unsigned char flag);
typedef void(ORVANE_TIMESOURCE_CALL* OrvaneStopReadingGPSDataFn)(void);
typedef unsigned char(ORVANE_TIMESOURCE_CALL* OrvaneProcessImageDataFn)(OrvaneFrameHeader* header);
// Required, never called.
typedef const char*(ORVANE_TIMESOURCE_CALL* OrvaneGetNameFn)(void);
typedef const char*(ORVANE_TIMESOURCE_CALL* OrvaneGetInfoFn)(void);
typedef void(ORVANE_TIMESOURCE_CALL* OrvaneSetReferenceFn)(const OrvaneTimeSourceTime* reference);
typedef void(ORVANE_TIMESOURCE_CALL* OrvaneGetReferenceFn)(OrvaneTimeSourceTime* reference);
typedef void(ORVANE_TIMESOURCE_CALL* OrvaneGetReferenceTimebFn)(OrvaneTimeSourceTime* reference);
typedef void(ORVANE_TIMESOURCE_CALL* OrvaneGetCurrentTimeStampFn)(OrvaneTimeSourceTime* now);
typedef void(ORVANE_TIMESOURCE_CALL* OrvaneGetRelativeTimeStampFn)(std::int64_t counter, OrvaneTimeSourceTime* time);
// Optional, never called.
typedef std::int32_t(ORVANE_TIMESOURCE_CALL* OrvaneMicroSecondFn)(void);
typedef void(ORVANE_TIMESOURCE_CALL* OrvaneSetDroppedFramesFn)(std::int32_t count);
}

// The exports in the order the module looks them up, and which it requires.
struct OrvaneTimeSourceExport {
    const char* name;
    bool required;
};
constexpr int kOrvaneTimeSourceExportCount = 17;
constexpr OrvaneTimeSourceExport kOrvaneTimeSourceExports[kOrvaneTimeSourceExportCount] = {
    {"GetName", true},
    {"GetInfo", true},
    {"Initialize", true},
    {"MicroSecond", false},
    {"Uninitialize", true},
    {"ClearEvents", true},
    {"SetDroppedFrames", false},
    {"SetReference", true},
    {"GetReference", true},
    {"GetSynchronizationStatus", true},
    {"IsGPSSupported", true},
    {"GetGPSData", true},
    {"StopReadingGPSData", true},
    {"GetReference_timeb", true},
    {"GetCurrentTimeStamp", true},
    {"GetRelativeTimeStamp", true},
    {"ProcessImageData", true},
};

// Runs `body` and gives its result, or `fallback` when it throws: every export's body belongs in
// one of these, so that no exception reaches the module.
//     ... ProcessImageData(OrvaneFrameHeader* h) { return OrvaneTimeSourceGuard([&] { ...; return 1; }, 0); }
template <typename Body, typename Result>
Result OrvaneTimeSourceGuard(Body&& body, Result fallback) noexcept
{
    try {
        return static_cast<Result>(body());
    } catch (...) {
        return fallback;
    }
}
template <typename Body>
void OrvaneTimeSourceGuard(Body&& body) noexcept
{
    try {
        body();
    } catch (...) {
    }
}
