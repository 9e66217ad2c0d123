// The capture tool's time-source options and the time code it writes into its CSV.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/capture/CaptureOptions.h"
#include "tools/capture/Timecode.h"

namespace {

using namespace orvane;

TEST(CaptureTimeSourceOptions, ParseSignedNumbersAndRejectWhatTheModuleCannotTake)
{
    std::string error;
    auto all = capture::ParseOptions({"--timesource", "My Source.dll", "--time-offset", "-2147483648", "--timecode-offset", "+5",
                                      "--timecode-mode", "2"},
                                     error);
    ASSERT_TRUE(all) << error;
    EXPECT_EQ(all->timeSource, "My Source.dll");
    EXPECT_EQ(all->timeOffset, INT32_MIN);
    EXPECT_EQ(all->timecodeOffset, 5);
    EXPECT_EQ(all->timecodeMode, 2);
    EXPECT_FALSE(capture::ParseOptions({}, error)->timeSource.has_value()) << "unset options are left as stored";

    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--time-offset", "2147483648"}, {"--timecode-offset", "-"}, {"--timecode-mode", "3"},
             {"--timesource", std::string(260, 'x')}, {"--timesource"}}) {
        error.clear();
        EXPECT_FALSE(capture::ParseOptions(bad, error)) << bad[0];
        EXPECT_FALSE(error.empty()) << bad[0];
    }
}

TEST(CaptureTimeSourceOptions, TheCsvShowsATimecodeOnlyWhenTheBytesHoldOne)
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
