// The board's controls through the filter: IAMVideoProcAmp over the module's adjustments, the
// property page for the others, and the device's profile.
#include <gtest/gtest.h>

#include <cmath>

#include "interfaces/BoardLibrary.h"
#include "platform/UniqueBstr.h"
#include "tests/support/ModulePath.h"
#include "tests/videosource/VideoSourceFixture.h"
#include "tools/common/ComErrorText.h"
#include "videosource/IOrvaneVideoSource.h"
#include "videosource/ResourceIds.h"
#include "videosource/VideoSourceIds.h"

namespace {

using namespace orvane::test;
using orvane::ComPtr;
namespace vs = orvane::videosource;

constexpr WORD kBoardIndex = 1;

struct Bounds {
    long minimum = 0;
    long maximum = 0;
};

// The module's registered bounds of an adjustment, an integer one as it is, a floating-point one
// in units of 1/10000.
Bounds ModuleBounds(ICorvathAdjustment& adjustments, LONG id)
{
    LONG count = 0;
    adjustments.GetAdjustmentCount(&count);
    for (LONG index = 0; index < count; ++index) {
        LONG found = 0, longMin = 0, longMax = 0, isLong = 0, o1 = 0, o2 = 0, o3 = 0, o4 = 0;
        double doubleMin = 0, doubleMax = 0;
        orvane::UniqueBstr name;
        adjustments.GetAdjustmentInfo(index, &found, name.Put(), &longMin, &longMax, &doubleMin, &doubleMax, &isLong, &o1, &o2, &o3, &o4);
        if (found == id) {
            return isLong ? Bounds{longMin, longMax} : Bounds{std::lround(doubleMin * 10000), std::lround(doubleMax * 10000)};
        }
    }
    ADD_FAILURE() << "no adjustment " << id;
    return {};
}

DWORD BoardParameter(const char* name)
{
    ParameterBlock block{};
    EXPECT_EQ(eHD_GetParameter(kBoardIndex, name, sizeof block, &block), OHD_OK);
    return block.value;
}

class VideoSourceControls : public VideoSourceTest {};

TEST_F(VideoSourceControls, ProcAmpRangesAreTheModulesAndASetValueReachesTheBoard)
{
    UseProfile("orvane-640x480-60-vga.chp");  // "DVI to VGA": gain is there
    const ComPtr<IBaseFilter> filter = MakeFilter();
    const ComPtr<IAMVideoProcAmp> procAmp = As<IAMVideoProcAmp>(filter.Get(), IID_IAMVideoProcAmp);
    ComPtr<ICorvathAdjustment> adjustments;
    ASSERT_EQ(As<vs::IOrvaneVideoSource>(filter.Get(), vs::kIidOrvaneVideoSource)->GetAdjustments(adjustments.Put()), S_OK);

    const struct {
        long property;
        LONG adjustment;
    } mapped[] = {{VideoProcAmp_Brightness, 6}, {VideoProcAmp_Contrast, 7}, {VideoProcAmp_Hue, 8},
                  {VideoProcAmp_Saturation, 9}, {VideoProcAmp_Gain, 1}};
    for (const auto& entry : mapped) {
        SCOPED_TRACE("property " + std::to_string(entry.property));
        long minimum = 0, maximum = 0, step = 0, defaultValue = 0, flags = 0;
        ASSERT_EQ(procAmp->GetRange(entry.property, &minimum, &maximum, &step, &defaultValue, &flags), S_OK);
        const Bounds module = ModuleBounds(*adjustments.Get(), entry.adjustment);
        EXPECT_EQ(minimum, module.minimum);
        EXPECT_EQ(maximum, module.maximum);
        EXPECT_EQ(step, 1);
        EXPECT_TRUE(defaultValue >= minimum && defaultValue <= maximum);
        EXPECT_EQ(flags, VideoProcAmp_Flags_Manual);
        EXPECT_EQ(procAmp->Set(entry.property, maximum + 1, VideoProcAmp_Flags_Manual), E_INVALIDARG);
    }

    EXPECT_EQ(procAmp->Set(VideoProcAmp_Brightness, 77, VideoProcAmp_Flags_Manual), S_OK);
    EXPECT_EQ(BoardParameter("Brightness"), 77u);
    EXPECT_EQ(procAmp->Set(VideoProcAmp_Saturation, 200, VideoProcAmp_Flags_Manual), S_OK);
    EXPECT_EQ(BoardParameter("Saturation"), 200u);
    // 0.57 x 10000 falls just below 5700 in double precision: the board must still get 5700.
    EXPECT_EQ(procAmp->Set(VideoProcAmp_Gain, 5700, VideoProcAmp_Flags_Manual), S_OK);
    long value = 0;
    long flags = 0;
    EXPECT_EQ(procAmp->Get(VideoProcAmp_Gain, &value, &flags), S_OK);
    EXPECT_EQ(value, 5700);
    EXPECT_EQ(procAmp->Get(VideoProcAmp_Brightness, &value, &flags), S_OK);
    EXPECT_EQ(value, 77);
    EXPECT_EQ(procAmp->Set(VideoProcAmp_Sharpness, 1, VideoProcAmp_Flags_Manual), E_PROP_ID_UNSUPPORTED);
}

TEST_F(VideoSourceControls, WithoutTheAnalogueFrontEndThereIsNoGain)
{
    UseProfile("orvane-1920x1080-60-dvi.chp");
    const ComPtr<IBaseFilter> filter = MakeFilter();
    long minimum = 0, maximum = 0, step = 0, defaultValue = 0, flags = 0;
    EXPECT_EQ(As<IAMVideoProcAmp>(filter.Get(), IID_IAMVideoProcAmp)->GetRange(VideoProcAmp_Gain, &minimum, &maximum, &step, &defaultValue, &flags),
              E_PROP_ID_UNSUPPORTED);
}

TEST_F(VideoSourceControls, ThePageWritesTheOtherAdjustmentsAndRefusesAValueOutsideItsRange)
{
    UseProfile("orvane-1920x1080-60-dvi.chp");  // rows: Horizontal Back Sync, Vertical Back Porch, Horizontal Frequency
    const ComPtr<IBaseFilter> filter = MakeFilter();
    ComPtr<IPropertyPage> page;
    ASSERT_EQ(VideoSourceFactory(vs::kPropertyPageClass)->CreateInstance(nullptr, IID_IPropertyPage, page.PutVoid()), S_OK);
    IUnknown* objects[] = {filter.Get()};
    ASSERT_EQ(page->SetObjects(1, objects), S_OK);
    HWND parent = CreateWindowExW(0, L"STATIC", L"page test", WS_POPUP, 0, 0, 600, 400, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    const RECT area{0, 0, 500, 300};
    ASSERT_EQ(page->Activate(parent, &area, TRUE), S_OK);
    HWND dialog = GetWindow(parent, GW_CHILD);
    ASSERT_NE(dialog, nullptr);
    wchar_t name[64] = {};
    GetDlgItemTextW(dialog, IDC_NAME, name, 64);
    EXPECT_STREQ(name, L"Horizontal Back Sync");

    SetDlgItemTextW(dialog, IDC_VALUE, L"200");
    EXPECT_EQ(page->IsPageDirty(), S_OK);
    EXPECT_EQ(page->Apply(), S_OK);
    ComPtr<ICorvathAdjustment> adjustments;
    ASSERT_EQ(As<vs::IOrvaneVideoSource>(filter.Get(), vs::kIidOrvaneVideoSource)->GetAdjustments(adjustments.Put()), S_OK);
    LONG value = 0;
    EXPECT_EQ(adjustments->GetLongValue(3, &value), S_OK);
    EXPECT_EQ(value, 200);

    SetDlgItemTextW(dialog, IDC_VALUE, L"9000");  // past 8191
    EXPECT_EQ(page->Apply(), E_INVALIDARG);
    EXPECT_EQ(adjustments->GetLongValue(3, &value), S_OK);
    EXPECT_EQ(value, 200);
    page->Deactivate();
    page->SetObjects(0, nullptr);
    DestroyWindow(parent);
}

TEST_F(VideoSourceControls, AnotherProfileOpensTheBoardAnewAndOneItRefusesLeavesThePreviousInForce)
{
    UseProfile("orvane-1920x1080-60-dvi.chp");
    const ComPtr<IBaseFilter> filter = MakeFilter();
    const ComPtr<vs::IOrvaneVideoSource> source = As<vs::IOrvaneVideoSource>(filter.Get(), vs::kIidOrvaneVideoSource);
    ComPtr<IPin> pin;
    ASSERT_EQ(filter->FindPin(vs::kPinName, pin.Put()), S_OK);
    const ComPtr<IAMStreamConfig> config = As<IAMStreamConfig>(pin.Get(), IID_IAMStreamConfig);
    auto width = [&] {
        AM_MEDIA_TYPE* type = nullptr;
        EXPECT_EQ(config->GetFormat(&type), S_OK);
        const LONG result = type != nullptr ? reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat)->bmiHeader.biWidth : 0;
        vs::DeleteMediaType(type);
        return result;
    };
    EXPECT_EQ(width(), 1920);

    const std::wstring vga = orvane::host::Widen(orvane::test::BesideTestProgramA("profiles\\orvane-640x480-60-vga.chp"));
    EXPECT_EQ(source->UseProfile(vga.c_str()), S_OK);
    EXPECT_EQ(width(), 640);
    EXPECT_EQ(source->UseProfile(L"Z:\\no\\such\\profile.chp"), vs::kNoProfile);
    orvane::UniqueBstr remembered;
    ASSERT_EQ(source->GetProfile(remembered.Put()), S_OK);
    EXPECT_STREQ(remembered.Get(), vga.c_str());
    EXPECT_EQ(width(), 640);
}

}  // namespace
