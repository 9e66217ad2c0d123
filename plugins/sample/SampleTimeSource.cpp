// A time source that writes each frame's time as a time code: the time of day (UTC) of the time
// the grabber put into the frame header, in packed BCD, into the frame's first four bytes
// (frames, seconds, minutes, hours), at the frame rate chosen under
//     HKEY_CURRENT_USER\Software\Orvane\SampleTimeSource, DWORD "LTCTimeSourceMode"
// (0: 30 frames per second, 1: 20, anything else: 24; 30 when absent), read at Initialize.
//
// Its synchronisation status tells how the frame times it sees behave:
//     0  not started: no frame since Initialize or ClearEvents
//     1  locked: the last frame came later than the one before, by less than a second
//     2  lost: the last frame's time went back, stood still or jumped by a second or more
// It has no GPS receiver.
#include <windows.h>

#include <atomic>

#include "timesource/OrvaneTimeSource.h"

#define SAMPLE_EXPORT extern "C" __declspec(dllexport)

namespace {

constexpr std::int32_t kNotStarted = 0;
constexpr std::int32_t kLocked = 1;
constexpr std::int32_t kLost = 2;

std::atomic<std::int32_t> g_rate{30};
std::atomic<std::int32_t> g_status{kNotStarted};
// Only ProcessImageData uses these, and its calls never overlap.
std::int64_t g_lastMicroseconds = -1;

std::int32_t ReadRate()
{
    DWORD mode = 0;
    DWORD size = sizeof mode;
    DWORD type = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Orvane\\SampleTimeSource", L"LTCTimeSourceMode",
                     RRF_RT_REG_DWORD, &type, &mode, &size) != ERROR_SUCCESS) {
        return 30;
    }
    return mode == 0 ? 30 : mode == 1 ? 20 : 24;
}

std::uint8_t ToBcd(std::int64_t value)
{
    return static_cast<std::uint8_t>(((value / 10) << 4) | (value % 10));
}

void Restart()
{
    g_lastMicroseconds = -1;
    g_status = kNotStarted;
}

}  // namespace

SAMPLE_EXPORT const char* __cdecl GetName() { return "Orvane sample time source"; }
SAMPLE_EXPORT const char* __cdecl GetInfo() { return "Writes the frame time as a packed-BCD time code into the first four bytes."; }

SAMPLE_EXPORT unsigned char __cdecl Initialize()
{
    return OrvaneTimeSourceGuard(
        [] {
            g_rate = ReadRate();
            Restart();
            return 1;
        },
        static_cast<unsigned char>(0));
}

SAMPLE_EXPORT void __cdecl Uninitialize() {}
SAMPLE_EXPORT void __cdecl ClearEvents() { Restart(); }
SAMPLE_EXPORT void __cdecl SetReference(const OrvaneTimeSourceTime*) {}
SAMPLE_EXPORT void __cdecl GetReference(OrvaneTimeSourceTime* reference)
{
    if (reference != nullptr) {
        *reference = OrvaneTimeSourceTime{0, 0, 0};
    }
}
SAMPLE_EXPORT void __cdecl GetReference_timeb(OrvaneTimeSourceTime* reference) { GetReference(reference); }
SAMPLE_EXPORT void __cdecl GetCurrentTimeStamp(OrvaneTimeSourceTime* now) { GetReference(now); }
SAMPLE_EXPORT void __cdecl GetRelativeTimeStamp(std::int64_t, OrvaneTimeSourceTime* time) { GetReference(time); }

SAMPLE_EXPORT std::int32_t __cdecl GetSynchronizationStatus() { return g_status.load(); }
SAMPLE_EXPORT unsigned char __cdecl IsGPSSupported() { return 0; }
SAMPLE_EXPORT void __cdecl GetGPSData(std::uint32_t, unsigned char) {}
SAMPLE_EXPORT void __cdecl StopReadingGPSData() {}

SAMPLE_EXPORT unsigned char __cdecl ProcessImageData(OrvaneFrameHeader* header)
{
    if (header == nullptr || header->pixels == nullptr) {
        return 0;
    }
    const std::int64_t seconds = header->seconds;
    const std::int64_t now = seconds * 1000000 + header->milliseconds * 1000 + header->microseconds;
    if (g_lastMicroseconds >= 0) {
        const std::int64_t step = now - g_lastMicroseconds;
        g_status = step > 0 && step < 1000000 ? kLocked : kLost;
    }
    g_lastMicroseconds = now;

    // Time of day in UTC; times before 1970 count back from midnight.
    std::int64_t ofDay = seconds % 86400;
    if (ofDay < 0) {
        ofDay += 86400;
    }
    const std::int32_t rate = g_rate.load();
    auto* code = static_cast<std::uint8_t*>(header->pixels);
    code[kTimecodeFrames] = ToBcd(header->milliseconds * rate / 1000);
    code[kTimecodeSeconds] = ToBcd(ofDay % 60);
    code[kTimecodeMinutes] = ToBcd(ofDay / 60 % 60);
    code[kTimecodeHours] = ToBcd(ofDay / 3600);
    return 1;
}
