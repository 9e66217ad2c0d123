// The adjustments and the white-balance button through the host's interfaces on an initialised
// grabber: the registry the card built, a value set through COM reaching the profile, and the one
// button whose question the test answers.
#include "tests/module/GrabberFixture.h"

#include <string>

#include "tests/support/DialogAnswerer.h"

namespace orvane::test {
namespace {

class AdjustmentInterfaces : public GrabberCardTest {
protected:
    std::string ProfileValue(const char* section, const char* key)
    {
        char text[64] = {};
        GetPrivateProfileStringA(section, key, "<missing>", text, sizeof text, profile_.c_str());
        std::string value = text;
        return value.erase(0, value.find_first_not_of(' '));
    }
};

// What the host reaches is the card's own registry, and a value set through it lands in the profile.
TEST_F(AdjustmentInterfaces, TheCardsRegistryIsServedAndAValueReachesTheProfile)
{
    UseProfile("orvane-640x480-60-vga.chp");
    ASSERT_EQ(Initialize().result, S_OK);
    auto adjustments = As<ICorvathAdjustment>(IID_ICorvathAdjustment);
    LONG count = 0;
    ASSERT_EQ(adjustments->GetAdjustmentCount(&count), S_OK);
    EXPECT_EQ(count, 10);
    EXPECT_EQ(adjustments->SetDoubleValue(1, 1.23456), S_OK);
    EXPECT_EQ(ProfileValue("ORVANEHD", "Gain"), "1.2346");
}

TEST_F(AdjustmentInterfaces, OneButtonWhateverTheIndexAndAClickRunsTheWhiteBalance)
{
    auto buttons = As<ICorvathGenericButtonClickProp>(IID_ICorvathGenericButtonClickProp);
    SHORT count = 0;
    EXPECT_EQ(buttons->GetButtonCount(&count), E_UNEXPECTED) << "no card before InitializeGrabber";

    UseProfile("orvane-1920x1080-60-dvi.chp");
    ASSERT_EQ(Initialize().result, S_OK);
    ASSERT_EQ(buttons->GetButtonCount(&count), S_OK);
    EXPECT_EQ(count, 1);
    for (SHORT index : {0, 1, 7}) {
        UniqueBstr name;
        ASSERT_EQ(buttons->GetButtonName(index, name.Put()), S_OK);
        EXPECT_STREQ(name.Get(), L"Auto White Balance") << index;
    }

    const long long measured = SimBoard_GetCounter("whiteBalanceMeasurements");
    DialogAnswerer answerer({DialogAnswer::Press("Orvane", IDYES)});
    EXPECT_EQ(buttons->ButtonClicked(5), S_OK);
    ASSERT_TRUE(answerer.Finish());
    EXPECT_EQ(SimBoard_GetCounter("whiteBalanceMeasurements"), measured + 1);
    EXPECT_NE(ProfileValue("O-RGB Calibration OH72391", "RED_GAIN_CALIB"), "<missing>");

    // A failure is the debug output's business: the click still succeeds.
    ASSERT_EQ(SimBoard_SetSignal(0), 0);
    EXPECT_EQ(buttons->ButtonClicked(0), S_OK);
}

}  // namespace
}  // namespace orvane::test
