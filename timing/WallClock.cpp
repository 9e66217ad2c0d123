#include "timing/WallClock.h"

#include <windows.h>

namespace {

// FILETIME counts 100 ns intervals since 1601-01-01 UTC.
constexpr std::uint64_t kIntervalsPerSecond = 10'000'000;
constexpr std::uint64_t kUnixEpochIntervals = 116'444'736'000'000'000;

// 100 ns intervals since 1970-01-01 UTC.
std::uint64_t IntervalsSinceUnixEpoch() noexcept
{
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const std::uint64_t intervals = (std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
    return intervals - kUnixEpochIntervals;
}

}  // namespace

TimebaseWallClock ReadWallClockRecord() noexcept
{
    const std::uint64_t intervals = IntervalsSinceUnixEpoch();
    TIME_ZONE_INFORMATION zone{};
    const DWORD zoneState = GetTimeZoneInformation(&zone);

    TimebaseWallClock clock{};
    clock.seconds = static_cast<std::int32_t>(intervals / kIntervalsPerSecond);
    clock.milliseconds = static_cast<std::uint16_t>(intervals % kIntervalsPerSecond / 10'000);
    if (zoneState != TIME_ZONE_ID_INVALID) {
        clock.minutesWest = static_cast<std::int16_t>(zone.Bias);
        clock.daylightSaving = static_cast<std::int16_t>(zoneState == TIME_ZONE_ID_DAYLIGHT ? 1 : 0);
    }
    return clock;
}

void ReadWallClockTime(std::int32_t& seconds, std::uint16_t& milliseconds, std::uint16_t& microseconds) noexcept
{
    const std::uint64_t intervals = IntervalsSinceUnixEpoch();
    const std::uint64_t withinSecond = intervals % kIntervalsPerSecond;
    seconds = static_cast<std::int32_t>(intervals / kIntervalsPerSecond);
    milliseconds = static_cast<std::uint16_t>(withinSecond / 10'000);
    microseconds = static_cast<std::uint16_t>(withinSecond / 10 % 1000);
}
