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
    template <typename Interface>
    ComPtr<Interface> As(REFIID iid)
    {
        ComPtr<Interface> result;
        EXPECT_EQ(grabber_->QueryInterface(iid, result.PutVoid()), S_OK);
        return result;
    }

    std::string ProfileValue(const char* section, const char* key)
    {
        char text[64] = {};
        GetPrivateProfileStringA(section, key, "<missing>", text, sizeof text, profile_.c_str());
        std::string value = text;
        return value.erase(0, value.find_first_not_of(' '));
    }
};

TEST_F(AdjustmentInterfaces, TheCardsRegistryIsServedAndAValueReachesTheProfile)
{
    UseProfile("orvane-640x480-60-vga.chp");
    ASSERT_EQ(Initialize().result, S_OK);
    auto adjustments = As<ICorvathAdjustment>(IID_ICorvathAdjustment);
    LONG count = 0;
    ASSERT_EQ(adjustments->GetAdjustmentCount(&count), S_OK);
    EXPECT_EQ(count, 10);

    UniqueBstr name;
    LONG id = 0, longMin = 0, longMax = 0, isLong = 0, o1 = 0, o2 = 0, o3 = 0, o4 = 0;
    double doubleMin = 0, doubleMax = 0;
    ASSERT_EQ(adjustments->GetAdjustmentInfo(6, &id, name.Put(), &longMin, &longMax, &doubleMin, &doubleMax, &isLong,
                                             &o1, &o2, &o3, &o4),
              S_OK);
    EXPECT_STREQ(name.Get(), L"Brightness");
    EXPECT_EQ(id, 6);
    EXPECT_EQ(longMax, 255);
    EXPECT_EQ(o2, 1);
    EXPECT_EQ(adjustments->GetAdjustmentInfo(10, &id, name.Put(), &longMin, &longMax, &doubleMin, &doubleMax, &isLong,
                                             &o1, &o2, &o3, &o4),
              E_INVALIDARG);

    EXPECT_EQ(adjustments->SetDoubleValue(1, 1.23456), S_OK);
    EXPECT_EQ(ProfileValue("ORVANEHD", "Gain"), "1.2346");
    double gain = 0.0;
    EXPECT_EQ(adjustments->GetDoubleValue(1, &gain), S_OK);
    EXPECT_EQ(gain, 1.2345);
    EXPECT_EQ(adjustments->SetLongValue(6, 300), S_OK);
    LONG brightness = 0;
    EXPECT_EQ(adjustments->GetLongValue(6, &brightness), S_OK);
    EXPECT_EQ(brightness, 44);
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

    for (SHORT index : {0, 5}) {
        const long long measured = SimBoard_GetCounter("whiteBalanceMeasurements");
        DialogAnswerer answerer({DialogAnswer::Press("Orvane", index == 0 ? IDNO : IDYES)});
        EXPECT_EQ(buttons->ButtonClicked(index), S_OK);
        ASSERT_TRUE(answerer.Finish());
        EXPECT_EQ(SimBoard_GetCounter("whiteBalanceMeasurements"), measured + 1) << index;
        EXPECT_EQ(ProfileValue("O-RGB Calibration OH72391", "RED_GAIN_CALIB") != "<missing>", index == 5) << index;
    }

    // A failure is the debug output's business: the click still succeeds.
    ASSERT_EQ(SimBoard_SetSignal(0), 0);
    EXPECT_EQ(buttons->ButtonClicked(0), S_OK);
}

}  // namespace
}  // namespace orvane::test
