// The adjustments through the host's interface on an initialised grabber: the registry the card
// built, and a value set through COM reaching the profile.
#include "tests/module/GrabberFixture.h"

#include <string>

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

}  // namespace
}  // namespace orvane::test
