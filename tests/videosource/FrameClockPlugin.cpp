// A time source that stamps every frame with the time it is due, not the time it was picked up:
// frame k of the simulated board (its number in the pixels' header) at the first frame's time plus
// k frame periods of 60 Hz, the test profiles' rate. The frames then carry times without the capture
// thread's wake-up jitter, so a test sees exactly what the video source makes of them.
#include <windows.h>

#include <cmath>
#include <cstring>

#include "timesource/OrvaneTimeSource.h"

#define EXPORT extern "C" __declspec(dllexport)

namespace {

constexpr double kMicrosecondsPerFrame = 1e6 / 60.0;
constexpr size_t kFrameNumberOffset = 4;  // the simulated board's header: frame number at bytes 4..7
constexpr long long kUnixEpochIn100ns = 116444736000000000LL;

long long g_baseMicroseconds = 0;
bool g_haveBase = false;

long long NowMicroseconds()
{
    FILETIME now{};
    GetSystemTimePreciseAsFileTime(&now);
    const long long ticks = (static_cast<long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return (ticks - kUnixEpochIn100ns) / 10;
}

}  // namespace

EXPORT const char* __cdecl GetName() { return "frame clock"; }
EXPORT const char* __cdecl GetInfo() { return "frame k at the first frame's time plus k periods"; }
EXPORT unsigned char __cdecl Initialize()
{
    g_haveBase = false;
    return 1;
}
EXPORT void __cdecl Uninitialize() {}
EXPORT void __cdecl ClearEvents() {}
EXPORT void __cdecl SetReference(const OrvaneTimeSourceTime*) {}
EXPORT void __cdecl GetReference(OrvaneTimeSourceTime*) {}
EXPORT std::int32_t __cdecl GetSynchronizationStatus() { return 1; }
EXPORT unsigned char __cdecl IsGPSSupported() { return 0; }
EXPORT void __cdecl GetGPSData(std::uint32_t, unsigned char) {}
EXPORT void __cdecl StopReadingGPSData() {}
EXPORT void __cdecl GetReference_timeb(OrvaneTimeSourceTime*) {}
EXPORT void __cdecl GetCurrentTimeStamp(OrvaneTimeSourceTime*) {}
EXPORT void __cdecl GetRelativeTimeStamp(std::int64_t, OrvaneTimeSourceTime*) {}
EXPORT unsigned char __cdecl ProcessImageData(OrvaneFrameHeader* header)
{
    if (header == nullptr || header->pixels == nullptr) {
        return 0;
    }
    std::uint32_t frame = 0;
    std::memcpy(&frame, static_cast<const unsigned char*>(header->pixels) + kFrameNumberOffset, sizeof frame);
    const long long due = std::llround(frame * kMicrosecondsPerFrame);
    if (!g_haveBase) {
        g_baseMicroseconds = NowMicroseconds() - due;
        g_haveBase = true;
    }
    const long long time = g_baseMicroseconds + due;
    header->seconds = static_cast<std::int32_t>(time / 1000000);
    header->milliseconds = static_cast<std::uint16_t>(time / 1000 % 1000);
    header->microseconds = static_cast<std::uint16_t>(time % 1000);
    return 1;
}
