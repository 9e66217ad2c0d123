// eHD_ReadConfigFile: the sample profiles, values written with and without a leading blank,
// adjusted values (535) and each kind of bad file with its own status and text.
#include <cstring>
#include <set>
#include <string>

#include "tests/simboard/SimBoardFixture.h"

namespace {

using namespace simtest;

class SimBoardConfigFile : public SimBoardTest {
protected:
    void SetUp() override
    {
        SimBoardTest::SetUp();
        OpenBoard();
    }
    static WORD Read(const std::string& path, ModeRecord& record) { return eHD_ReadConfigFile(kBoard, path.c_str(), &record, 0); }
};

// A valid 1920x1080 file to start from; tests replace single lines.
const char* const kClean =
    "[ORVANEHD]\r\n"
    "Cable Type=DVI to VGA\r\n"
    "Horizontal Total=2200\r\n"
    "Horizontal Frequency= 67500\r\n"
    "Horizontal Back Sync= 192\r\n"
    "Vertical Total=1125\r\n"
    "Vertical Back Porch= 41.0\r\n"
    "Image Width=1920\r\n"
    "Image Height=1080\r\n"
    "Gain= 1.0000\r\n"
    "Black Level= 0.0000\r\n"
    "Phase Delay= 0.0\r\n"
    "[O-RGB]\r\n"
    "PixelMode=RGB\r\n";

std::string Replace(const std::string& text, const std::string& from, const std::string& to)
{
    std::string result = text;
    const size_t at = result.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) {
        result.replace(at, from.size(), to);
    }
    return result;
}

struct SampleProfile {
    const char* leaf;
    int width, height, cable, horizontalTotal, verticalTotal, horizontalFrequency, backSync, backPorchTenths, pixelMode;
};

const SampleProfile kSamples[] = {
    {"orvane-640x480-60-vga.chp", 640, 480, OHD_CABLE_DVI_TO_VGA, 800, 525, 31469, 144, 350, 0},
    {"orvane-800x600-60-vga.chp", 800, 600, OHD_CABLE_DVI_TO_VGA, 1056, 628, 37879, 216, 270, 0},
    {"orvane-1280x1024-60-bnc.chp", 1280, 1024, OHD_CABLE_DVI_TO_BNC, 1688, 1066, 63981, 360, 410, 1},
    {"orvane-1920x1080-60-dvi.chp", 1920, 1080, OHD_CABLE_DVI_TO_DVI, 2200, 1125, 67500, 192, 410, 0},
    {"orvane-3840x2160-30-dvi.chp", 3840, 2160, OHD_CABLE_DVI_TO_DVI, 4400, 2250, 67500, 384, 820, 0},
    {"orvane-3840x2160-60-dvi.chp", 3840, 2160, OHD_CABLE_DVI_TO_DVI, 4400, 2250, 135000, 384, 820, 0},
};

TEST_F(SimBoardConfigFile, EverySampleProfileReadsCleanIntoTheModeRecordOffsets)
{
    for (const SampleProfile& sample : kSamples) {
        SCOPED_TRACE(sample.leaf);
        ModeRecord record{};
        ASSERT_EQ(Read(ProfilePath(sample.leaf), record), OHD_OK) << ErrorText(OHD_CHP_ADJUSTED);
        const BYTE* raw = reinterpret_cast<const BYTE*>(&record);
        auto at = [raw](size_t offset) { int32_t v; std::memcpy(&v, raw + offset, 4); return v; };
        EXPECT_EQ(at(72), sample.width);
        EXPECT_EQ(at(48), sample.height);
        EXPECT_EQ(at(52), sample.cable);
        EXPECT_EQ(at(64), sample.horizontalTotal);
        EXPECT_EQ(at(28), sample.verticalTotal);
        EXPECT_EQ(at(60), sample.horizontalFrequency);
        EXPECT_EQ(at(68), sample.backSync);
        EXPECT_EQ(at(44), sample.backPorchTenths);
        EXPECT_EQ(record.pixelMode, sample.pixelMode);
        EXPECT_EQ(record.signature, kOhdModeSignature);
        EXPECT_LE(at(72), at(64) - at(68)) << "active pixels fit the timing";
        EXPECT_LE(at(48), at(28) - at(44) / 10) << "active lines fit the timing";
    }
}

TEST_F(SimBoardConfigFile, AnalogueValuesAndCalibrationAreReadInTheirUnits)
{
    ModeRecord record{};
    ASSERT_EQ(Read(ProfilePath("orvane-640x480-60-vga.chp"), record), OHD_OK);
    EXPECT_EQ(record.gain, 10000);
    EXPECT_EQ(record.blackLevel, 5000);
    EXPECT_EQ(record.phaseTenths, 160);
    const int32_t calibration[6] = {3, 0, -2, 1, 0, -1};  // [O-RGB Calibration OH72391]
    const BYTE registers[6] = {131, 128, 126, 65, 64, 63};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(record.colourCalibration[i], calibration[i]) << i;
        EXPECT_EQ(record.colourRegisters[i], registers[i]) << i;
    }
    EXPECT_EQ(record.verticalFrequencyMilliHz, 59940);
}

TEST_F(SimBoardConfigFile, ValuesAreAcceptedWithOrWithoutLeadingBlanks)
{
    for (const char* gain : {"Gain= 1.2346", "Gain=1.2346", "Gain =   1.2346  "}) {
        SCOPED_TRACE(gain);
        TempFile file(Replace(kClean, "Gain= 1.0000", gain));
        ModeRecord record{};
        ASSERT_EQ(Read(file.Path(), record), OHD_OK) << ErrorText(OHD_CHP_ADJUSTED);
        EXPECT_EQ(record.gain, 12346);
    }
    TempFile file(Replace(Replace(kClean, "Phase Delay= 0.0", "Phase Delay=12.3"), "Horizontal Back Sync= 192", "Horizontal Back Sync=200"));
    ModeRecord record{};
    ASSERT_EQ(Read(file.Path(), record), OHD_OK);
    EXPECT_EQ(record.phaseTenths, 123);
    EXPECT_EQ(record.horizontalBackSync, 200);
}

TEST_F(SimBoardConfigFile, ValuesWrittenByTheProfileFunctionsReadBack)
{
    // What the module's WriteProfileValue does (Wine drops the leading blank).
    TempFile file(kClean);
    ASSERT_TRUE(WritePrivateProfileStringA("ORVANEHD", "Gain", " 1.2346", file.Path().c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("ORVANEHD", "Black Level", " 0.5700", file.Path().c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("ORVANEHD", "Vertical Back Porch", " 30.5", file.Path().c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("ORVANEHD", "Image Width", "1280", file.Path().c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("O-RGB", "PixelMode", "MONO", file.Path().c_str()));
    ModeRecord record{};
    ASSERT_EQ(Read(file.Path(), record), OHD_OK) << ErrorText(OHD_CHP_ADJUSTED);
    EXPECT_EQ(record.gain, 12346);
    EXPECT_EQ(record.blackLevel, 5700);
    EXPECT_EQ(record.verticalBackPorchTenths, 305);
    EXPECT_EQ(record.activePixels, 1280);
    EXPECT_EQ(record.pixelMode, 1);
}

TEST_F(SimBoardConfigFile, OutOfRangeValuesAreAdjustedWithStatus535NamingThem)
{
    TempFile file(Replace(Replace(kClean, "Gain= 1.0000", "Gain= 9.5000"), "Phase Delay= 0.0", "Phase Delay= 200.0"));
    ModeRecord record{};
    ASSERT_EQ(Read(file.Path(), record), OHD_CHP_ADJUSTED);
    const auto* model = static_cast<const ModelTable*>(eHD_GetModelTable());
    EXPECT_EQ(record.gain, model->entries[4].gainMax) << "board type 5 uses model 4";
    EXPECT_EQ(record.phaseTenths, 1275);
    EXPECT_EQ(record.adjustedFields, OHD_ADJ_GAIN | OHD_ADJ_PHASE);
    const std::string text = ErrorText(OHD_CHP_ADJUSTED);
    EXPECT_NE(text.find("adjusted"), std::string::npos) << text;
    EXPECT_NE(text.find("Gain"), std::string::npos) << text;
    EXPECT_NE(text.find("Phase Delay"), std::string::npos) << text;
    EXPECT_NE(text.find("127.5"), std::string::npos) << text;

    // A 535 file is usable like a clean one.
    const DWORD mode = eHD_CreateMode(kBoard, 0, &record);
    ASSERT_NE(mode, 0u);
    EXPECT_EQ(eHD_SetMode(mode, &record, OHD_APPLY_FULL), OHD_OK);

    // The next clean read clears the detail.
    ASSERT_EQ(Read(ProfilePath("orvane-1920x1080-60-dvi.chp"), record), OHD_OK);
    EXPECT_EQ(ErrorText(OHD_CHP_ADJUSTED), "CHP file accepted with adjusted values");
}

TEST_F(SimBoardConfigFile, MissingImageSizeUsesTheWholeActiveAreaWith535)
{
    TempFile file(Replace(kClean, "Image Height=1080\r\n", ""));
    ModeRecord record{};
    ASSERT_EQ(Read(file.Path(), record), OHD_CHP_ADJUSTED);
    EXPECT_EQ(record.activeLines, 1125 - 41);
    EXPECT_NE(ErrorText(OHD_CHP_ADJUSTED).find("Image Height"), std::string::npos);
}

TEST_F(SimBoardConfigFile, EachKindOfBadFileHasItsOwnStatusAndText)
{
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    TempFile noSection("[SOMETHING]\r\nKey=1\r\n");
    TempFile noTiming(Replace(kClean, "Vertical Total=1125\r\n", ""));
    TempFile badTiming(Replace(kClean, "Horizontal Total=2200", "Horizontal Total=twenty-two"));
    TempFile tooLarge(Replace(kClean, "Image Width=1920", "Image Width=2009"));  // 2200 - 192 = 2008
    TempFile tooTall(Replace(kClean, "Image Height=1080", "Image Height=1085"));  // 1125 - 41 = 1084
    TempFile badCable(Replace(kClean, "Cable Type=DVI to VGA", "Cable Type=HDMI"));
    TempFile noCable(Replace(kClean, "Cable Type=DVI to VGA\r\n", ""));

    const struct {
        const char* what;
        std::string path;
        WORD status;
        const char* inText;
    } cases[] = {
        {"missing", std::string(folder) + "no-such-profile-4711.chp", OHD_ERR_CHP_MISSING, "no-such-profile-4711"},
        {"missing folder", "Z:\\no\\such\\folder\\x.chp", OHD_ERR_CHP_MISSING, "not found"},
        {"a folder", folder, OHD_ERR_CHP_UNREADABLE, "folder"},
        {"not a CHP file", noSection.Path(), OHD_ERR_CHP_UNREADABLE, "[ORVANEHD]"},
        {"timing missing", noTiming.Path(), OHD_ERR_CHP_BAD_TIMING, "Vertical Total"},
        {"timing not a number", badTiming.Path(), OHD_ERR_CHP_BAD_TIMING, "twenty-two"},
        {"too wide", tooLarge.Path(), OHD_ERR_CHP_ACTIVE_TOO_LARGE, "2008"},
        {"too tall", tooTall.Path(), OHD_ERR_CHP_ACTIVE_TOO_LARGE, "1084"},
        {"unknown cable", badCable.Path(), OHD_ERR_CHP_UNKNOWN_CABLE, "HDMI"},
        {"no cable", noCable.Path(), OHD_ERR_CHP_UNKNOWN_CABLE, "missing"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ModeRecord record;
        std::memset(&record, 0x5A, sizeof record);
        ASSERT_EQ(Read(c.path, record), c.status);
        const std::string text = ErrorText(c.status);
        EXPECT_NE(text.find(c.inText), std::string::npos) << text;
        const BYTE* raw = reinterpret_cast<const BYTE*>(&record);
        bool untouched = true;
        for (size_t i = 0; i < sizeof record; ++i) {
            untouched = untouched && raw[i] == 0x5A;
        }
        EXPECT_TRUE(untouched) << "a rejected file leaves the record alone";
    }
    const std::set<WORD> statuses = {OHD_ERR_CHP_MISSING, OHD_ERR_CHP_UNREADABLE, OHD_ERR_CHP_BAD_TIMING,
                                     OHD_ERR_CHP_ACTIVE_TOO_LARGE, OHD_ERR_CHP_UNKNOWN_CABLE, OHD_CHP_ADJUSTED};
    EXPECT_EQ(statuses.size(), 6u);
    EXPECT_EQ(statuses.count(0), 0u);
}

TEST_F(SimBoardConfigFile, AFileLockedByAnotherHandleIsUnreadable)
{
    TempFile file(kClean);
    HANDLE lock = CreateFileA(file.Path().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    ModeRecord record{};
    EXPECT_EQ(Read(file.Path(), record), OHD_ERR_CHP_UNREADABLE);
    CloseHandle(lock);
    EXPECT_EQ(Read(file.Path(), record), OHD_OK);
}

TEST_F(SimBoardConfigFile, BadArgumentsGetDefinedStatuses)
{
    ModeRecord record{};
    const std::string path = ProfilePath("orvane-640x480-60-vga.chp");
    EXPECT_EQ(eHD_ReadConfigFile(kBoard, nullptr, &record, 0), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_ReadConfigFile(kBoard, path.c_str(), nullptr, 0), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_ReadConfigFile(kBoard, path.c_str(), &record, 1), OHD_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(eHD_ReadConfigFile(kBoard, "", &record, 0), OHD_ERR_CHP_MISSING);
    EXPECT_EQ(eHD_ReadConfigFile(42, path.c_str(), &record, 0), OHD_ERR_UNKNOWN_BOARD);
    const std::string tooLong(400, 'a');
    EXPECT_EQ(eHD_ReadConfigFile(kBoard, tooLong.c_str(), &record, 0), OHD_ERR_CHP_MISSING);
}

}  // namespace
