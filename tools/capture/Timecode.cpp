#include "tools/capture/Timecode.h"

#include <cstdio>

namespace orvane::capture {

namespace {

constexpr std::uint8_t kFieldMask[4] = {0x3F, 0x7F, 0x7F, 0x3F};
constexpr int kFieldLimit[4] = {99, 59, 59, 23};  // frames: any rate up to 99

// -1 when a digit is not decimal.
int Decode(std::uint8_t bcd)
{
    const int tens = bcd >> 4;
    const int units = bcd & 0x0F;
    return units > 9 ? -1 : tens * 10 + units;
}

}  // namespace

bool TimecodeText(const std::uint8_t (&code)[4], char* text)
{
    int value[4];
    bool any = false;
    for (int i = 0; i < 4; ++i) {
        value[i] = Decode(static_cast<std::uint8_t>(code[i] & kFieldMask[i]));
        if (value[i] < 0 || value[i] > kFieldLimit[i]) {
            return false;
        }
        any = any || code[i] != 0;
    }
    if (!any) {
        return false;
    }
    if (text != nullptr) {
        std::snprintf(text, 12, "%02d:%02d:%02d:%02d", value[3], value[2], value[1], value[0]);
    }
    return true;
}

}  // namespace orvane::capture
