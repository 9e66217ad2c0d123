// Applying the CHP file: the remembered one, the dialog and its retries, what the board answers,
// the values derived from the file and the writers that put changes back into it.
#include "tests/card/CardFixture.h"

#include <algorithm>
#include <string>

#include "platform/MessageException.h"

namespace orvane::test {
namespace {

using Config = CardTest;

TEST_F(Config, ARememberedBoardFileIsAppliedWithoutADialog)
{
    const std::string path = RememberSample(kDefaultProfile);
    auto card = OpenCard();
    ASSERT_NE(card, nullptr);
    EXPECT_STREQ(card->GetConfigurationFilePath(), path.c_str());
    EXPECT_EQ(card->ImageSizeX(), 1920);
    EXPECT_EQ(card->ImageSizeY(), 1080);
    EXPECT_NE(card->ModeHandle(), 0u);
    EXPECT_FALSE(listener_.Contains("Orvane - Browsing for a compatible CHP:"));
    EXPECT_TRUE(listener_.Contains("Orvane - Loading required config file:"));
    EXPECT_TRUE(listener_.Contains(path));
    EXPECT_TRUE(listener_.Contains("ConfigureBoard"));
    EXPECT_TRUE(listener_.Contains("ImageSizeX = 1920, ImageSizeY = 1080"));
    EXPECT_EQ(ScratchRegistryKey::GetString(ModuleKey(), "Board File"), path);
}

TEST_F(Config, WithoutARememberedFileTheDialogAsksUntilAFileFits)
{
    profiles_.push_back(ScratchProfile::FromText("this is not a profile at all\r\n\x01\x02\x03"));
    const std::string bad = profiles_.back().Path();
    profiles_.push_back(ScratchProfile::FromSample(kDefaultProfile));
    const std::string good = profiles_.back().Path();

    DialogAnswerer answerer({DialogAnswer::ChooseFile(kDialogTitle, bad), DialogAnswer::ChooseFile(kDialogTitle, good)});
    auto card = OpenCard();
    ASSERT_TRUE(answerer.Finish());
    ASSERT_NE(card, nullptr);
    EXPECT_STREQ(card->GetConfigurationFilePath(), good.c_str());
    EXPECT_EQ(ScratchRegistryKey::GetString(ModuleKey(), "Board File"), good);
    EXPECT_EQ(listener_.Count("Orvane - Browsing for a compatible CHP:"), 1);
    EXPECT_EQ(listener_.Count("ConfigureBoard() - ERROR : Cannot read this file."), 1);
}

TEST_F(Config, CancellingTheFirstDialogFailsTheOpen)
{
    DialogAnswerer answerer({DialogAnswer::Cancel(kDialogTitle)});
    EXPECT_EQ(OpenCardExpectingFailure(), "Orvane - Incompatible CHP file or no CHP file provided.");
    EXPECT_TRUE(answerer.Finish());
    EXPECT_FALSE(ScratchRegistryKey::GetString(ModuleKey(), "Board File").has_value());
}

TEST_F(Config, CancellingWhileAFileIsCurrentAppliesItAgain)
{
    const std::string path = RememberSample(kDefaultProfile);
    auto card = OpenCard();
    ASSERT_NE(card, nullptr);
    ScratchRegistryKey::SetString(ModuleKey(), "Board File", "stale");
    listener_.Clear();

    DialogAnswerer answerer({DialogAnswer::Cancel(kDialogTitle)});
    card->LoadConfigFile(nullptr);
    EXPECT_TRUE(answerer.Finish());
    EXPECT_TRUE(listener_.Contains("Orvane - User cancelled, loading the previous config file"));
    EXPECT_STREQ(card->GetConfigurationFilePath(), path.c_str());
    EXPECT_EQ(ScratchRegistryKey::GetString(ModuleKey(), "Board File"), path);
}

TEST_F(Config, CancellingWhenTheCurrentFileNoLongerFitsFails)
{
    RememberSample(kDefaultProfile);
    auto card = OpenCard();
    ASSERT_NE(card, nullptr);
    ASSERT_EQ(SimBoard_FailNext("eHD_ReadConfigFile", 0x0212, 1), 0);
    DialogAnswerer answerer({DialogAnswer::Cancel(kDialogTitle)});
    std::string raised;
    try {
        card->LoadConfigFile(nullptr);
    } catch (MessageException message) {
        raised = message;
    }
    EXPECT_TRUE(answerer.Finish());
    EXPECT_EQ(raised, "Orvane - Incompatible CHP file or no CHP file provided.");
}

TEST_F(Config, AFileAcceptedWithAdjustmentsIsLoggedAndApplied)
{
    RememberSample(kDefaultProfile);
    auto card = OpenCard();
    ASSERT_NE(card, nullptr);
    ASSERT_EQ(SimBoard_FailNext("eHD_ReadConfigFile", 535, 1), 0);
    listener_.Clear();
    EXPECT_TRUE(card->ConfigureBoard(card->GetConfigurationFilePath()));
    char text[256] = {};
    eHD_GetErrorText(535, 255, text);
    EXPECT_TRUE(listener_.Contains(std::string("Orvane - error at line #629: ") + text)) << listener_.Dump();
    EXPECT_FALSE(listener_.Contains("ConfigureBoard() - ERROR : Cannot read this file."));
}

TEST_F(Config, ARefusedFileLeavesTheModeInForce)
{
    RememberSample(kDefaultProfile);
    auto card = OpenCard();
    ASSERT_NE(card, nullptr);
    const DWORD mode = card->ModeHandle();
    const int32_t activePixels = card->CurrentMode().activePixels;
    auto garbage = ScratchProfile::FromText("[ORVANEHD]\r\nImage Width=99999\r\n");
    EXPECT_FALSE(card->ConfigureBoard(garbage.Path().c_str()));
    EXPECT_EQ(card->ModeHandle(), mode);
    EXPECT_EQ(card->CurrentMode().activePixels, activePixels);
    EXPECT_EQ(card->ImageSizeX(), 1920);
}

TEST_F(Config, TheWidthIsRoundedDownToFourPixelsAndTheCableNamed)
{
    profiles_.push_back(ScratchProfile::FromSample(kDefaultProfile));
    const std::string path = profiles_.back().Path();
    ASSERT_TRUE(COrvaneCard::WriteImageSize(1922, 1080, path.c_str()));
    RememberBoardFile(path);
    auto card = OpenCard();
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->ImageSizeX(), 1920);
    EXPECT_EQ(card->ImageSizeY(), 1080);
    EXPECT_TRUE(listener_.Contains("Cable from .chp file : DVI to DVI")) << listener_.Dump();
}

// The board reports "input locked" in bit 4 of "ActiveMode"; the card turns that into the active
// flag it writes back (0x12 -> 1, 0x0F -> 0).
TEST_F(Config, ActiveModeIsWrittenBackFromItsLockedBit)
{
    RememberSample(kDefaultProfile);
    auto card = OpenCard();
    ASSERT_NE(card, nullptr);
    for (const bool signal : {true, false}) {
        ASSERT_EQ(SimBoard_SetSignal(signal ? 1 : 0), 0);
        ParameterBlock block{};
        ASSERT_TRUE(card->ConfigureBoard(card->GetConfigurationFilePath()));
        block.value = 0xFFFFFFFFu;
        ASSERT_EQ(eHD_GetParameter(card->BoardIndex(), "ActiveMode", sizeof block, &block), 0);
        EXPECT_EQ((block.value & 0x10u) != 0, signal);
        EXPECT_EQ(block.value & 1u, signal ? 1u : 0u) << "ActiveMode read as " << block.value;
    }
}

TEST_F(Config, ProfileWritersPutTheStatedTextsIntoTheFile)
{
    auto profile = ScratchProfile::FromSample(kDefaultProfile);
    const char* file = profile.Path().c_str();
    EXPECT_TRUE(COrvaneCard::WriteImageSize(1280, 720, file));
    EXPECT_EQ(profile.Read("ORVANEHD", "Image Width"), "1280");
    EXPECT_EQ(profile.Read("ORVANEHD", "Image Height"), "720");
    EXPECT_TRUE(COrvaneCard::WriteProfileValue("O-RGB", "PixelMode", "MONO", file));
    EXPECT_EQ(profile.Read("O-RGB", "PixelMode"), "MONO");
    EXPECT_TRUE(COrvaneCard::WriteProfileValue("O-RGB", "PixelMode", nullptr, file));
    EXPECT_EQ(profile.Read("O-RGB", "PixelMode"), "");
    EXPECT_FALSE(COrvaneCard::WriteProfileValue(nullptr, "Gain", "1", file));
    EXPECT_FALSE(COrvaneCard::WriteProfileValue("ORVANEHD", nullptr, "1", file));
    EXPECT_FALSE(COrvaneCard::WriteProfileValue("ORVANEHD", "Gain", "1", nullptr));
    EXPECT_FALSE(COrvaneCard::WriteImageSize(1, 1, nullptr));
}

// A "Board File" value the card cannot use as a path makes it ask instead, whatever is wrong with it.
TEST_F(Config, UnusableBoardFileValuesOpenTheDialog)
{
    profiles_.push_back(ScratchProfile::FromSample(kDefaultProfile));
    const std::string good = profiles_.back().Path();
    const DWORD number = 7;
    const std::string tooLong(300, 'x');
    // A full path buffer with no terminator: there is no room for one, whatever the platform does.
    const std::string filled(260, 'y');
    // Stored without a terminator; some platforms hand it back with one appended. Either way the
    // card must not read past the four bytes: it asks without loading, or loads exactly "C:\x",
    // fails and then asks.
    const char unterminated[4] = {'C', ':', '\\', 'x'};
    struct Case {
        const char* what;
        DWORD type;
        const void* data;
        DWORD size;
        const char* mayLoad;
    } cases[] = {
        {"wrong type", REG_DWORD, &number, sizeof number, nullptr},
        {"too long", REG_SZ, tooLong.c_str(), static_cast<DWORD>(tooLong.size() + 1), nullptr},
        {"unterminated, filling the buffer", REG_SZ, filled.data(), static_cast<DWORD>(filled.size()), nullptr},
        {"unterminated, short", REG_SZ, unterminated, sizeof unterminated, "C:\\x"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(ScratchRegistryKey::SetRaw(ModuleKey(), "Board File", c.type, c.data, c.size));
        listener_.Clear();
        DialogAnswerer answerer({DialogAnswer::ChooseFile(kDialogTitle, good)});
        auto card = OpenCard();
        EXPECT_TRUE(answerer.Finish()) << c.what;
        ASSERT_NE(card, nullptr) << c.what;
        const auto lines = listener_.Lines();
        const auto loading = std::find(lines.begin(), lines.end(), "Orvane - Loading required config file:");
        if (loading == lines.end()) {
            EXPECT_TRUE(listener_.Contains("Orvane - Browsing for a compatible CHP:")) << c.what;
        } else {
            ASSERT_NE(c.mayLoad, nullptr) << c.what << "\n" << listener_.Dump();
            ASSERT_NE(loading + 1, lines.end()) << c.what;
            EXPECT_EQ(loading[1], c.mayLoad) << c.what;
        }
        EXPECT_STREQ(card->GetConfigurationFilePath(), good.c_str()) << c.what;
    }
}

TEST_F(Config, PathsUpToTheLimitWorkAndLongerOnesAreRefused)
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    // Build a folder chain so that the profile's full path is exactly 259 characters.
    std::string folder = std::string(temp) + "orvane-long";
    CreateDirectoryA(folder.c_str(), nullptr);
    std::vector<std::string> made{folder};
    while (folder.size() < 259 - 20) {
        folder += "\\" + std::string(std::min<size_t>(30, 259 - 20 - folder.size()), 'd');
        CreateDirectoryA(folder.c_str(), nullptr);
        made.push_back(folder);
    }
    std::string path = folder + "\\";
    path += std::string(259 - path.size() - 4, 'p') + ".chp";
    ASSERT_EQ(path.size(), 259u);
    auto copy = ScratchProfile::FromSample(kDefaultProfile);
    ASSERT_TRUE(CopyFileA(copy.Path().c_str(), path.c_str(), FALSE)) << GetLastError();

    RememberBoardFile(path);
    {
        auto card = OpenCard();
        ASSERT_NE(card, nullptr);
        EXPECT_STREQ(card->GetConfigurationFilePath(), path.c_str());
        EXPECT_FALSE(listener_.Contains("Orvane - Browsing for a compatible CHP:"));
    }

    // One character more does not fit the 260-byte value with its terminator: the dialog asks.
    RememberBoardFile(path + "x");
    listener_.Clear();
    DialogAnswerer answerer({DialogAnswer::ChooseFile(kDialogTitle, copy.Path())});
    auto card = OpenCard();
    EXPECT_TRUE(answerer.Finish());
    ASSERT_NE(card, nullptr);
    EXPECT_TRUE(listener_.Contains("Orvane - Browsing for a compatible CHP:"));
    EXPECT_FALSE(listener_.Contains("Orvane - Loading required config file:"));
    card.reset();

    DeleteFileA(path.c_str());
    for (auto it = made.rbegin(); it != made.rend(); ++it) {
        RemoveDirectoryA(it->c_str());
    }
}

}  // namespace
}  // namespace orvane::test
