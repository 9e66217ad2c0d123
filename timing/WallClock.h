#pragma once
// The platform's wall clock, in the two forms the timebase needs: the record written once when a
// reference is taken, and a plain reading for an object that has no shared reference to use.
#include <cstdint>

#include "timing/TimebaseRecord.h"

// Now: seconds since 1970-01-01 UTC, milliseconds, time zone (minutes west of UTC) and
// daylight-saving flag; padding zeroed.
TimebaseWallClock ReadWallClockRecord() noexcept;

// Now: seconds since 1970-01-01 UTC, milliseconds 0..999 and microseconds 0..999.
void ReadWallClockTime(std::int32_t& seconds, std::uint16_t& milliseconds, std::uint16_t& microseconds) noexcept;
