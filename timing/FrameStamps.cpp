#include "timing/FrameStamps.h"

#include "timesource/OrvaneTimeSource.h"

namespace orvane::timing {

std::int32_t TimecodeRateForMode(std::int32_t mode) noexcept
{
    switch (mode) {
    case 0:
        return 30;
    case 1:
        return 20;
    default:
        return 24;
    }
}

std::int32_t LowestTimecodeOffset(std::int32_t /*rate*/) noexcept
{
    return -128;
}

std::int32_t HighestTimecodeOffset(std::int32_t rate) noexcept
{
    return 127 - (rate - 1);
}

void ApplyTimeSourceOffset(std::int32_t& seconds, std::uint16_t& milliseconds, std::uint16_t& microseconds,
                           std::int32_t offset) noexcept
{
    // Seconds are carried in 64 bits so that a time near the end of the 32-bit range wraps rather
    // than overflows; everything else stays in 32 bits, as the fields are.
    std::int64_t wholeSeconds = seconds;
    std::int32_t fraction = static_cast<std::int32_t>(milliseconds) * 1000 + static_cast<std::int32_t>(microseconds);
    if (offset > 0) {
        wholeSeconds += offset / 1000000;
        fraction += offset % 1000000;
    } else if (offset < 0) {
        const std::int32_t magnitude = -offset;
        wholeSeconds -= magnitude / 1000000;
        fraction -= magnitude % 1000000;
    }
    while (fraction >= 1000000) {
        ++wholeSeconds;
        fraction -= 1000000;
    }
    while (fraction < 0) {
        --wholeSeconds;
        fraction += 1000000;
    }
    seconds = static_cast<std::int32_t>(static_cast<std::uint32_t>(wholeSeconds & 0xFFFFFFFF));
    milliseconds = static_cast<std::uint16_t>(fraction / 1000);
    microseconds = static_cast<std::uint16_t>(fraction % 1000);
}

int BcdToInt(std::uint8_t bcd) noexcept
{
    return (bcd >> 4) * 10 + (bcd & 0x0F);
}

std::uint8_t IntToBcd(int value) noexcept
{
    const unsigned v = static_cast<std::uint8_t>(value);
    return static_cast<std::uint8_t>((((v / 10) << 4) & 0xF0) | (v % 10));
}

void ApplyTimecodeOffset(std::uint8_t* timecode, std::int32_t offset, std::int32_t rate) noexcept
{
    if (timecode == nullptr || rate <= 0) {
        return;
    }
    // Each field is as wide as its tens digit needs: seconds and minutes reach 5 tens and so take
    // three bits of tens, frames and hours two. Reading them 6 bits wide would turn 45 s into 5 s.
    int value[4];
    for (int i = 0; i < 4; ++i) {
        value[i] = BcdToInt(static_cast<std::uint8_t>(timecode[i] & kTimecodeFieldMask[i]));
    }
    int& frames = value[kTimecodeFrames];
    int& secs = value[kTimecodeSeconds];
    int& minutes = value[kTimecodeMinutes];
    int& hours = value[kTimecodeHours];
    frames += offset;
    while (frames >= rate) {
        frames -= rate;
        if (++secs > 59) {
            secs = 0;
            if (++minutes > 59) {
                minutes = 0;
                if (++hours > 23) {
                    hours = 0;
                }
            }
        }
    }
    while (frames < 0) {
        frames += rate;
        if (--secs < 0) {
            secs = 59;
            if (--minutes < 0) {
                minutes = 59;
                if (--hours < 0) {
                    hours = 23;
                }
            }
        }
    }
    for (int i = 0; i < 4; ++i) {
        const std::uint8_t mask = kTimecodeFieldMask[i];
        timecode[i] = static_cast<std::uint8_t>((timecode[i] & ~mask) | (IntToBcd(value[i]) & mask));
    }
}

}  // namespace orvane::timing
