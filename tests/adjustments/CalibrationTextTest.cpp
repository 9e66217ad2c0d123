// What the adjustments and the white balance write into the CHP file: the value texts, which must
// never outgrow their buffer, and the calibration of one board in its own section.
#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "adjustments/ColourCalibration.h"
#include "adjustments/ValueText.h"

namespace {

TEST(ValueText, FitsEveryBoardValueAndRefusesRatherThanCuts)
{
    char text[orvane::kValueTextSize];
    const struct {
        const char* format;
        double value;
        const char* expected;  // null: refused
    } doubles[] = {
        {" %.4f", 1.23456, " 1.2346"},  {" %.1f", 12.34, " 12.3"},     {" %.1f", 4095.0, " 4095.0"},
        {" %.4f", -2.5, " -2.5000"},    {" %.4f", 214748.3647, nullptr}, {" %.1f", 1e300, nullptr},
    };
    for (const auto& row : doubles) {
        std::memset(text, 'x', sizeof text);
        EXPECT_EQ(orvane::FormatValueText(text, row.format, row.value), row.expected != nullptr) << row.value;
        EXPECT_STREQ(text, row.expected != nullptr ? row.expected : "") << row.value;
    }
    EXPECT_TRUE(orvane::FormatValueText(text, " %d", 105000));
    EXPECT_STREQ(text, " 105000");
    EXPECT_FALSE(orvane::FormatValueText(text, " %d", INT_MIN)) << "12 characters";
    EXPECT_STREQ(text, "");
}

// Second set less first, byte by byte: negative differences included, equal sets all zero.
TEST(ColourCalibration, TheDifferencesGoIntoTheSectionOfTheWholeSerial)
{
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    char file[MAX_PATH];
    std::snprintf(file, sizeof file, "%sorvane-calibration-%lu.chp", folder, GetCurrentProcessId());
    DeleteFileA(file);

    // Longer than the nine characters a 28-byte section name would leave room for.
    const char serial[] = "SERIAL-0123456789";
    EXPECT_EQ(orvane::CalibrationSection(serial), "O-RGB Calibration SERIAL-0123456789");
    EXPECT_FALSE(orvane::SaveColourCalibration(WhiteBalanceRecord{}, serial, nullptr));

    const char* keys[6] = {"RED_GAIN_CALIB",   "GREEN_GAIN_CALIB",   "BLUE_GAIN_CALIB",
                           "RED_OFFSET_CALIB", "GREEN_OFFSET_CALIB", "BLUE_OFFSET_CALIB"};
    const struct {
        BYTE first[6];
        BYTE second[6];
        const char* expected[6];
    } rows[] = {
        {{250, 128, 128, 64, 64, 0}, {10, 128, 130, 60, 64, 255}, {"-240", "0", "2", "-4", "0", "255"}},
        {{7, 7, 7, 7, 7, 7}, {7, 7, 7, 7, 7, 7}, {"0", "0", "0", "0", "0", "0"}},
    };
    for (const auto& row : rows) {
        WhiteBalanceRecord record{};
        std::memcpy(record.firstSet, row.first, 6);
        std::memcpy(record.secondSet, row.second, 6);
        ASSERT_TRUE(orvane::SaveColourCalibration(record, serial, file));
        for (int i = 0; i < 6; ++i) {
            char value[32] = {};
            GetPrivateProfileStringA("O-RGB Calibration SERIAL-0123456789", keys[i], "<missing>", value,
                                     sizeof value, file);
            EXPECT_STREQ(value, row.expected[i]) << keys[i];
        }
    }
    DeleteFileA(file);
}

}  // namespace
