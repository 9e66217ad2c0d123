// The automatic white balance on the simulated board, with its question really asked and answered:
// a kept result becomes the board's calibration in the profile, a refused one is undone, and a
// failing step is logged without asking anything.
#include "tests/card/CardFixture.h"

#include <algorithm>
#include <string>

namespace orvane::test {
namespace {

using CardWhiteBalance = CardTest;

constexpr char kSection[] = "O-RGB Calibration OH72391";
constexpr const char* kKeys[6] = {"RED_GAIN_CALIB",   "GREEN_GAIN_CALIB",   "BLUE_GAIN_CALIB",
                                  "RED_OFFSET_CALIB", "GREEN_OFFSET_CALIB", "BLUE_OFFSET_CALIB"};

TEST_F(CardWhiteBalance, KeepingTheResultWritesTheCalibrationThatReproducesIt)
{
    RememberSample("orvane-1920x1080-60-dvi.chp");
    auto card = OpenCard();
    ASSERT_NE(card, nullptr);
    DialogAnswerer answerer({DialogAnswer::Press("Orvane", IDYES)});
    card->AutoWhiteBalance();
    ASSERT_TRUE(answerer.Finish());
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].text, "Do you want to keep the changes?");

    // The board reports the calibration now in force in the mode record; the file must hold it.
    bool anyNonZero = false;
    for (int i = 0; i < 6; ++i) {
        const int inForce = card->CurrentMode().colourCalibration[i];
        EXPECT_EQ(profiles_.back().Read(kSection, kKeys[i]), std::to_string(inForce)) << kKeys[i];
        anyNonZero = anyNonZero || inForce != 0;
    }
    EXPECT_TRUE(anyNonZero) << "the simulated input has a colour cast to correct";
    EXPECT_TRUE(listener_.Contains("byOrigRedGainReg = 128")) << listener_.Dump();
}

TEST_F(CardWhiteBalance, RefusingTheResultRestoresTheBoardAndWritesNothing)
{
    RememberSample("orvane-1920x1080-60-dvi.chp");
    auto card = OpenCard();
    ASSERT_NE(card, nullptr);
    const long long before = SimBoard_GetCounter("calls.eHD_SetWhiteBalance");
    DialogAnswerer answerer({DialogAnswer::Press("Orvane", IDNO)});
    card->AutoWhiteBalance();
    ASSERT_TRUE(answerer.Finish());
    EXPECT_EQ(SimBoard_GetCounter("calls.eHD_SetWhiteBalance") - before, 2) << "apply, then restore";
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(card->CurrentMode().colourCalibration[i], 0) << "the original calibration is back";
        EXPECT_EQ(profiles_.back().Read(kSection, kKeys[i]), "<missing>");
    }
}

TEST_F(CardWhiteBalance, AFailingStepIsLoggedAndNothingIsAsked)
{
    const struct {
        const char* operation;
        const char* status;
        const char* message;
    } rows[] = {
        {"eHD_TestWhiteBalance", "Orvane - error at line #1170: No video signal on the input",
         "Auto White Balance - Error in eHD_TestWhiteBalance()"},
        {"eHD_SetWhiteBalance", "Orvane - error at line #1178: No video signal on the input",
         "Auto White Balance - Error in eHD_SetWhiteBalance()"},
    };
    RememberSample("orvane-1920x1080-60-dvi.chp");
    auto card = OpenCard();
    ASSERT_NE(card, nullptr);
    for (const auto& row : rows) {
        ASSERT_EQ(SimBoard_FailNext(row.operation, OHD_ERR_NO_SIGNAL, 1), 0);
        listener_.Clear();
        // Stands by to answer a question that must not come, so that a wrong one cannot hang the test.
        DialogAnswerer standBy({DialogAnswer::Press("Orvane", IDNO)});
        card->AutoWhiteBalance();
        EXPECT_EQ(standBy.Answered(), 0) << row.operation;
        const auto lines = listener_.Lines();
        const auto at = std::find(lines.begin(), lines.end(), row.status);
        ASSERT_NE(at, lines.end()) << listener_.Dump();
        ASSERT_NE(at + 1, lines.end());
        EXPECT_EQ(*(at + 1), row.message);
    }
    EXPECT_EQ(profiles_.back().Read(kSection, kKeys[0]), "<missing>");
}

}  // namespace
}  // namespace orvane::test
