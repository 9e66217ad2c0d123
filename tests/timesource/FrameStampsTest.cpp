// The per-frame arithmetic: the microsecond offset carried across the time fields, and the
// time-code shift across frames, seconds, minutes and hours with the flag bits kept.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "timing/FrameStamps.h"

namespace orvane::timing {
namespace {

TEST(FrameStamps, TheMicrosecondOffsetCarriesBetweenTheFields)
{
    struct Case {
        std::int32_t seconds;
        std::uint16_t ms, us;
        std::int32_t offset;
        std::int32_t wantSeconds;
        std::uint16_t wantMs, wantUs;
    };
    const Case cases[] = {
        {12, 0, 0, -1, 11, 999, 999},
        {12, 600, 0, 2500000, 15, 100, 0},
        {12, 999, 999, 1, 13, 0, 0},
        {0, 0, 0, kLowestTimeOffset, -2148, 516, 353},
        {0, 0, 0, 2147483647, 2147, 483, 647},
        // The end of the 32-bit range wraps rather than overflowing.
        {2147483647, 999, 999, 1, -2147483647 - 1, 0, 0},
    };
    for (const Case& c : cases) {
        std::int32_t seconds = c.seconds;
        std::uint16_t ms = c.ms, us = c.us;
        ApplyTimeSourceOffset(seconds, ms, us, c.offset);
        EXPECT_EQ(seconds, c.wantSeconds) << c.offset;
        EXPECT_EQ(ms, c.wantMs) << c.offset;
        EXPECT_EQ(us, c.wantUs) << c.offset;
    }
}

using Timecode = std::array<std::uint8_t, 4>;  // frames, seconds, minutes, hours

TEST(FrameStamps, TheTimecodeShiftCarriesThroughTheDayAndKeepsTheFlags)
{
    struct Case {
        Timecode in;
        std::int32_t offset, rate;
        Timecode want;
    };
    const Case cases[] = {
        {{0x29, 0x59, 0x59, 0x23}, 1, 30, {0x00, 0x00, 0x00, 0x00}},
        {{0x00, 0x00, 0x00, 0x00}, -1, 30, {0x29, 0x59, 0x59, 0x23}},
        {{0x19, 0x10, 0x00, 0x00}, 1, 20, {0x00, 0x11, 0x00, 0x00}},
        // Seconds and minutes of 40 and more need the third tens bit: 45 s must not read as 5 s.
        {{0x29, 0x45, 0x00, 0x00}, 1, 30, {0x00, 0x46, 0x00, 0x00}},
        {{0x00, 0x40, 0x50, 0x00}, -1, 30, {0x29, 0x39, 0x50, 0x00}},
        // Flags above each field survive: bits 6-7 of frames and hours, bit 7 of seconds, minutes.
        {{0xE9, 0xD9, 0xD9, 0xE3}, 1, 30, {0xC0, 0x80, 0x80, 0xC0}},
        // The widest offsets that are let through.
        {{0x29, 0x00, 0x00, 0x00}, 98, 30, {0x07, 0x04, 0x00, 0x00}},
        {{0x00, 0x00, 0x00, 0x00}, -128, 30, {0x22, 0x55, 0x59, 0x23}},
    };
    for (const Case& c : cases) {
        Timecode code = c.in;
        ApplyTimecodeOffset(code.data(), c.offset, c.rate);
        EXPECT_EQ(code, c.want) << std::hex << int(c.in[3]) << ":" << int(c.in[2]) << ":" << int(c.in[1]) << ":"
                                << int(c.in[0]) << std::dec << " + " << c.offset << " at " << c.rate;
    }
}

}  // namespace
}  // namespace orvane::timing
