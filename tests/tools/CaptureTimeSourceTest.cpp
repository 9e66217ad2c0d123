// The time code the capture tool writes into its CSV: fields as wide as their digits, flags
// above them ignored, and nothing for bytes that hold no time code.
#include <gtest/gtest.h>

#include <cstdint>

#include "tools/capture/Timecode.h"

namespace {

using namespace orvane;

TEST(CaptureTimecode, TheCsvShowsATimecodeOnlyWhenTheBytesHoldOne)
{
    struct Case {
        std::uint8_t code[4];
        const char* text;  // null: no time code
    };
    const Case cases[] = {
        {{0x29, 0x59, 0x59, 0x23}, "23:59:59:29"},
        {{0xC5, 0xC5, 0x80, 0x40}, "00:00:45:05"},  // flag bits above the fields are not digits
        {{0x00, 0x00, 0x00, 0x00}, nullptr},        // nothing wrote one
        {{0x0A, 0x00, 0x00, 0x01}, nullptr},        // not a decimal digit
        {{0x00, 0x60, 0x00, 0x00}, nullptr},        // 60 seconds
        {{0x00, 0x00, 0x00, 0x24}, nullptr},        // 24 hours
    };
    for (const Case& c : cases) {
        char text[16] = "";
        EXPECT_EQ(capture::TimecodeText(c.code, text), c.text != nullptr) << (c.text ? c.text : "none");
        if (c.text != nullptr) {
            EXPECT_STREQ(text, c.text);
        }
    }
}

}  // namespace
