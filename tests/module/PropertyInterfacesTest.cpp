// The host's property interfaces on an initialised grabber: the "Image Format" setting, the image
// geometry and pixel format, buffer usage and the configuration file.
#include "tests/module/GrabberFixture.h"

#include <string>

#include "tests/support/DialogAnswerer.h"

namespace orvane::test {
namespace {

class PropertyInterfaces : public GrabberCardTest {};

TEST_F(PropertyInterfaces, SettingsAreListedReadAndSetAndRebuiltWhole)
{
    auto settings = As<ICorvathSettingsProp>(IID_ICorvathSettingsProp);
    LONG count = -1;
    EXPECT_EQ(settings->GetSettingCount(&count), E_FAIL) << "no list before InitializeGrabber";
    EXPECT_EQ(settings->SetSettingValue(10, 9), E_FAIL);

    UseProfile("orvane-640x480-60-vga.chp");
    ASSERT_EQ(Initialize().result, S_OK);
    auto image = As<ICorvathImageProp>(IID_ICorvathImageProp);
    const auto expectShape = [&] {
        LONG settingCount = 0;
        ASSERT_EQ(settings->GetSettingCount(&settingCount), S_OK);
        EXPECT_EQ(settingCount, 1);
        // The caller's text is replaced, not leaked.
        BSTR name = SysAllocString(L"old");
        LONG id = 0;
        ASSERT_EQ(settings->GetSettingInfo(0, &name, &id), S_OK);
        const UniqueBstr ownedName(name);
        EXPECT_STREQ(ownedName.Get(), L"Image Format");
        EXPECT_EQ(id, 10);
        LONG options = 0;
        ASSERT_EQ(settings->GetOptionCount(10, &options), S_OK);
        EXPECT_EQ(options, 9);
        UniqueBstr label;
        LONG value = -1;
        ASSERT_EQ(settings->GetOptionInfo(10, 3, label.Put(), &value), S_OK);
        EXPECT_STREQ(label.Get(), L"Mono 8");
        EXPECT_EQ(value, 0);
    };
    expectShape();

    // Positions outside the list are refused and nothing is written.
    UniqueBstr untouched(SysAllocString(L"kept"));
    LONG id = 77;
    LONG value = 77;
    EXPECT_EQ(settings->GetSettingInfo(0, nullptr, &id), E_POINTER);
    BSTR text = untouched.Get();
    EXPECT_EQ(settings->GetSettingInfo(1, &text, &id), E_INVALIDARG);
    EXPECT_EQ(settings->GetSettingInfo(-1, &text, &id), E_INVALIDARG);
    EXPECT_EQ(settings->GetOptionInfo(10, 9, &text, &value), E_INVALIDARG);
    EXPECT_EQ(text, untouched.Get());
    EXPECT_EQ(id, 77);
    EXPECT_EQ(value, 77);
    EXPECT_EQ(settings->GetOptionInfo(11, 0, &text, &value), S_OK) << "an unknown id answers nothing";
    EXPECT_EQ(value, 77);
    EXPECT_EQ(settings->GetOptionCount(11, &value), S_OK);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(settings->GetSettingValue(11, &value), S_OK);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(settings->GetSettingCount(nullptr), E_POINTER);

    // Selecting "BGR 24" through the setting changes what the image interface reports.
    ASSERT_EQ(settings->GetSettingValue(10, &value), S_OK);
    EXPECT_EQ(value, 6);
    ASSERT_EQ(settings->SetSettingValue(10, 9), S_OK);
    ASSERT_EQ(settings->GetSettingValue(10, &value), S_OK);
    EXPECT_EQ(value, 9);
    LONG bits = 0;
    LONG code = 0;
    ASSERT_EQ(image->GetBitsPerPixel(&bits), S_OK);
    ASSERT_EQ(image->GetImageFormatCode(&code), S_OK);
    EXPECT_EQ(bits, 24);
    EXPECT_EQ(code, 200);
    expectShape();

    // An id no setting has changes nothing, but the list is built anew all the same.
    ASSERT_EQ(settings->SetSettingValue(11, 0), S_OK);
    ASSERT_EQ(settings->GetSettingValue(10, &value), S_OK);
    EXPECT_EQ(value, 9);
    expectShape();
    EXPECT_EQ(ScratchRegistryKey::GetDword(registry_.Path() + "Orvane", "ImageFormat"), 9u);
}

TEST_F(PropertyInterfaces, ImageGeometryUsageAndConfigurationFile)
{
    UseProfile("orvane-640x480-60-vga.chp");
    ASSERT_EQ(Initialize().result, S_OK);
    auto image = As<ICorvathImageProp>(IID_ICorvathImageProp);
    auto usage = As<ICorvathBufferUsageProp>(IID_ICorvathBufferUsageProp);
    auto file = As<ICorvathConfigurationFileProp>(IID_ICorvathConfigurationFileProp);

    LONG width = 0, height = 0, third = -1, fourth = -1;
    ASSERT_EQ(image->GetImageFormat(&width, &height, &third, &fourth), S_OK);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    EXPECT_EQ(third, 0);
    EXPECT_EQ(fourth, 0);
    LONG bytes = 0;
    ASSERT_EQ(image->GetImageSize(&bytes), S_OK);
    EXPECT_EQ(bytes, 640 * 480 * 4);
    EXPECT_EQ(image->GetImageSize(nullptr), E_POINTER);

    ASSERT_EQ(image->SetROI(2, 100, 0, 0), S_OK);
    ASSERT_EQ(image->GetImageFormat(&width, &height, &third, &fourth), S_OK);
    EXPECT_GE(width, 4) << "the board's smallest width";
    EXPECT_EQ(height, 100);

    LONG counts[3] = {-1, -1, -1};
    ASSERT_EQ(usage->GetReadyCount(&counts[0]), S_OK);
    ASSERT_EQ(usage->GetMaxReadyCount(&counts[1]), S_OK);
    ASSERT_EQ(usage->GetTotalBufferCount(&counts[2]), S_OK);
    EXPECT_EQ(counts[0] + counts[1] + counts[2], 0) << "nothing counted before the first EnableGrab";

    BSTR path = nullptr;
    ASSERT_EQ(file->GetConfigurationFile(&path), S_OK);
    const UniqueBstr owned(path);
    EXPECT_EQ(std::wstring(owned.Get()), std::wstring(profile_.begin(), profile_.end()));

    // Cancelling the dialog with a usable file in force keeps it.
    DialogAnswerer answerer({DialogAnswer::Cancel("Orvane - Find a compatible common hardware profile")});
    EXPECT_EQ(file->BrowseConfigurationFile(), S_OK);
    EXPECT_TRUE(answerer.Finish());
    BSTR again = nullptr;
    ASSERT_EQ(file->GetConfigurationFile(&again), S_OK);
    const UniqueBstr ownedAgain(again);
    EXPECT_STREQ(ownedAgain.Get(), owned.Get());
}

}  // namespace
}  // namespace orvane::test
