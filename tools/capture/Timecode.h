#pragma once
// The time code a time source or the board leaves in a frame's first four bytes: packed BCD
// frames, seconds, minutes, hours, each field as wide as its digits need, flag bits above.
#include <cstdint>

namespace orvane::capture {

// True when the bytes hold a time code: valid digits, fields in range, not all zero. Writes it as
// "HH:MM:SS:FF" into `text` (12 characters or more) when `text` is not null.
bool TimecodeText(const std::uint8_t (&code)[4], char* text);

}  // namespace orvane::capture
