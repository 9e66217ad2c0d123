// The card's settings: the "Image Format" list, what each format type answers and sets in the
// profile, and the region and format saved under the module key, applied when the card opens.
#include "tests/card/CardFixture.h"

#include <string>

namespace orvane::test {
namespace {

using CardSettings = CardTest;

TEST_F(CardSettings, TheListOffersTheNineFormatsInTheirOrder)
{
    RememberSample("orvane-640x480-60-vga.chp");
    auto card = OpenCard();
    ASSERT_NE(card, nullptr);
    ASSERT_EQ(card->Settings().size(), 1u);
    const SettingEntry& entry = card->Settings()[0];
    EXPECT_EQ(entry.id, 10);
    EXPECT_STREQ(entry.name.Get(), L"Image Format");
    const struct {
        const wchar_t* label;
        int value;
    } expected[] = {{L"BGR 32", 6}, {L"BGR 24", 9},   {L"BGR 555", 7},   {L"Mono 8", 0},         {L"Mono 10", 1},
                    {L"Mono 16", 2}, {L"Y Only 8", 3}, {L"Y Only 16", 4}, {L"Full YCbCr 16", 5}};
    ASSERT_EQ(entry.options.size(), std::size(expected));
    for (size_t i = 0; i < entry.options.size(); ++i) {
        EXPECT_STREQ(entry.options[i].label.Get(), expected[i].label);
        EXPECT_EQ(entry.options[i].value, expected[i].value);
    }
}

TEST_F(CardSettings, EachFormatTypeAnswersItsDepthsAndCodeAndSetsItsPixelMode)
{
    const std::string file = RememberSample("orvane-640x480-60-vga.chp");
    auto card = OpenCard();
    ASSERT_NE(card, nullptr);
    card->AllocateBuffers(2);
    const struct {
        int type;
        int bits;
        int significant;
        int code;
        const char* pixelMode;
    } rows[] = {
        {6, 32, 8, 500, "RGB"},   {9, 24, 8, 200, "RGB"},   {7, 16, 16, 905, "RGB"}, {0, 8, 8, 100, "RGB"},
        {1, 16, 10, 114, "RGB"},  {2, 16, 16, 114, "MONO"}, {3, 8, 8, 100, "RGB"},   {4, 16, 16, 114, "MONO"},
        {5, 16, 16, 600, "RGB"},  {8, 16, 16, 906, "RGB"},
    };
    for (const auto& row : rows) {
        card->SetFormatType(row.type);
        EXPECT_EQ(card->GetFormatType(), row.type);
        EXPECT_EQ(card->GetBitsPerPixel(), row.bits) << row.type;
        EXPECT_EQ(card->GetSignificantBits(), row.significant) << row.type;
        EXPECT_EQ(card->GetImageFormatCode(), row.code) << row.type;
        EXPECT_EQ(card->GetImageSize(), 640 * 480 * row.bits / 8) << row.type;
        EXPECT_EQ(profiles_.back().Read("O-RGB", "PixelMode"), row.pixelMode) << row.type;
        EXPECT_EQ(ScratchRegistryKey::GetDword(ModuleKey(), "ImageFormat"), static_cast<DWORD>(row.type));
        EXPECT_EQ(card->GetBufferCount(), 2) << "buffers follow the format";
    }
    // A type the board cannot stream is refused where it is set, and changes nothing.
    for (const int type : {42, -1, 10}) {
        EXPECT_EQ(MessageRaisedBy([&] { card->SetFormatType(type); }),
                  "Image Format : " + std::to_string(type) + " is not an image format type (0 to 9).");
        EXPECT_EQ(card->GetFormatType(), 8);
        EXPECT_EQ(ScratchRegistryKey::GetDword(ModuleKey(), "ImageFormat"), 8u);
    }
}

// The file is written and applied again only when its pixel mode differs, compared exactly.
TEST_F(CardSettings, ThePixelModeIsRewrittenOnlyWhenItDiffers)
{
    const std::string file = RememberSample("orvane-640x480-60-vga.chp");
    auto card = OpenCard();
    ASSERT_NE(card, nullptr);
    const auto reads = [] { return SimBoard_GetCounter("calls.eHD_ReadConfigFile"); };
    const struct {
        const char* before;  // written into the file first; null keeps what is there
        int type;
        const char* after;
        int applied;
    } steps[] = {
        {nullptr, 2, "MONO", 1},  // "Mono 16" on an "RGB" file
        {nullptr, 4, "MONO", 0},  // "Y Only 16" needs the same
        {"mono", 2, "MONO", 1},   // another case is another mode
        {"MONOCHROME", 4, "MONO", 1},  // longer than any mode: cut, and different
        {nullptr, 0, "RGB", 1},   // "Mono 8" is read through the colour path
    };
    for (const auto& step : steps) {
        if (step.before != nullptr) {
            ASSERT_TRUE(WritePrivateProfileStringA("O-RGB", "PixelMode", step.before, file.c_str()));
        }
        const long long before = reads();
        card->SetFormatType(step.type);
        EXPECT_EQ(profiles_.back().Read("O-RGB", "PixelMode"), step.after) << step.type;
        EXPECT_EQ(reads() - before, step.applied) << step.type << " after " << (step.before ? step.before : "-");
    }
}

TEST_F(CardSettings, TheSavedRegionAppliesOnlyWholeAndTheSavedFormatAlways)
{
    RememberSample("orvane-640x480-60-vga.chp");
    const DWORD text = 0;  // data of a value stored with the wrong type
    const struct {
        const char* what;
        int regionValues;      // how many of the four are stored as numbers
        bool wrongTypeFourth;  // the fourth stored as a string instead
        DWORD format;          // 0xFFFFFFFF: none saved
        long width;
        long height;
        int type;
    } cases[] = {
        {"nothing saved", 0, false, 0xFFFFFFFF, 640, 480, 6},
        {"three of four values, a saved format", 3, false, 8, 640, 480, 8},
        {"the fourth of another type", 3, true, 0xFFFFFFFF, 640, 480, 6},
        {"all four", 4, false, 2, 320, 200, 2},
        {"a format outside the table: ignored", 0, false, 42, 640, 480, 6},
    };
    static constexpr const char* kNames[] = {"Image Size X", "Image Size Y", "Image Offset X", "Image Offset Y",
                                             "ImageFormat"};
    const DWORD region[] = {320, 200, 0, 0};
    for (const auto& c : cases) {
        for (const char* name : kNames) {
            RegDeleteKeyValueA(HKEY_CURRENT_USER, ModuleKey().c_str(), name);
        }
        for (int i = 0; i < c.regionValues; ++i) {
            ASSERT_TRUE(ScratchRegistryKey::SetDword(ModuleKey(), kNames[i], region[i]));
        }
        if (c.wrongTypeFourth) {
            ASSERT_TRUE(ScratchRegistryKey::SetRaw(ModuleKey(), kNames[3], REG_SZ, &text, 1));
        }
        if (c.format != 0xFFFFFFFF) {
            ASSERT_TRUE(ScratchRegistryKey::SetDword(ModuleKey(), "ImageFormat", c.format));
        }
        auto card = OpenCard();
        ASSERT_NE(card, nullptr) << c.what;
        long width = 0, height = 0, third = 0, fourth = 0;
        card->GetImageFormat(&width, &height, &third, &fourth);
        EXPECT_EQ(width, c.width) << c.what;
        EXPECT_EQ(height, c.height) << c.what;
        EXPECT_EQ(card->GetFormatType(), c.type) << c.what;
        // Restore the sample's size for the next case: a region changes the file.
        ASSERT_TRUE(COrvaneCard::WriteImageSize(640, 480, card->GetConfigurationFilePath()));
    }
}

}  // namespace
}  // namespace orvane::test
