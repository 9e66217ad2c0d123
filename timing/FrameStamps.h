#pragma once
// The arithmetic applied to a stamped frame: the microsecond offset on the header time, and the
// time-code shift on the four packed-BCD bytes at the start of the pixel data. Pure functions, run
// once per frame under the list locks: integer arithmetic only, no allocation, no lock.
#include <cstdint>

namespace orvane::timing {

// Time-code frame rates by the "LTCTimeSourceMode" value: 0 -> 30, 1 -> 20, anything else -> 24.
std::int32_t TimecodeRateForMode(std::int32_t mode) noexcept;

// The microsecond offsets that can be applied: -2147483648 cannot be negated in 32 bits, so the
// lowest usable one is -2147483647.
constexpr std::int32_t kLowestTimeOffset = -2147483647;
// Time-code offsets keep every frame number plus the offset within -128..127 at any of the rates:
// from -128 up to 127 minus the highest frame number of the rate.
std::int32_t LowestTimecodeOffset(std::int32_t rate) noexcept;
std::int32_t HighestTimecodeOffset(std::int32_t rate) noexcept;

// Adds `offset` microseconds to the time (seconds, milliseconds, microseconds), carrying between
// the fields. `offset` must not be -2147483648; the limits above see to that.
void ApplyTimeSourceOffset(std::int32_t& seconds, std::uint16_t& milliseconds, std::uint16_t& microseconds,
                           std::int32_t offset) noexcept;

// Shifts the time code (bytes: frames, seconds, minutes, hours) by `offset` frames at `rate`
// frames per second, wrapping at 24 hours, and keeps every flag bit above the fields.
void ApplyTimecodeOffset(std::uint8_t* timecode, std::int32_t offset, std::int32_t rate) noexcept;

// Two-digit packed BCD.
int BcdToInt(std::uint8_t bcd) noexcept;
std::uint8_t IntToBcd(int value) noexcept;

}  // namespace orvane::timing
