#pragma once
// What the capture tool keeps of one delivered frame.
#include <windows.h>

#include <cstdint>

namespace orvane::capture {

struct FrameRecord {
    std::uint64_t index = 0;       // order of delivery, from 0
    std::int32_t seconds = 0;      // the header's time stamp
    std::uint16_t milliseconds = 0;
    std::uint16_t microseconds = 0;
    LONGLONG fillQpc = 0;          // when the board filled the block; 0 if unknown
    LONGLONG deliveredQpc = 0;     // when GetCurrent returned it
    std::int64_t boardFrame = -1;  // frame number the board wrote into the pixels; -1 if none
    std::uint32_t checksum = 0;    // of a few lines of the picture
    std::uint8_t timecode[4] = {}; // the first four pixel bytes: frames, seconds, minutes, hours
    bool timecodePresent = false;  // they hold a time code (valid packed BCD, not all zero)

    double StampSeconds() const { return seconds + milliseconds / 1e3 + microseconds / 1e6; }
};

}  // namespace orvane::capture
