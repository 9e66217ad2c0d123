// orvane-ctl end to end: the module beside the tool on the simulated board, a scratch host key and
// a private copy of a sample profile, which the tool's changes reach.
#include <windows.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/ModulePath.h"
#include "tests/support/ScratchRegistryKey.h"
#include "tests/tools/ToolProcess.h"
#include "tools/ctl/Controls.h"

namespace {

using orvane::test::BesideTestProgramA;
using orvane::test::ToolRun;

class ControlTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        profile_ = std::string(temp) + "orvane-ctl-test-" + std::to_string(GetCurrentProcessId()) + ".chp";
    }

    void TearDown() override { DeleteFileA(profile_.c_str()); }

    void UseSample(const char* sample)
    {
        ASSERT_TRUE(CopyFileA(BesideTestProgramA(std::string("profiles\\") + sample).c_str(), profile_.c_str(), FALSE));
    }

    // The tool beside the module, with this test's own settings key.
    ToolRun Run(const std::string& arguments)
    {
        return tool_.Run("--direct --registry-path \"" + registry_.Path() + "\" " + arguments, 60000);
    }

    std::string Read(const char* section, const char* key) const
    {
        char value[64] = {};
        GetPrivateProfileStringA(section, key, "<missing>", value, sizeof value, profile_.c_str());
        std::string text = value;
        return text.erase(0, text.find_first_not_of(' '));
    }

    orvane::test::ScratchRegistryKey registry_;
    orvane::test::ToolProcess tool_{"orvane-ctl.exe", "orvane-ctl-test"};
    std::string profile_;
};

TEST_F(ControlTool, ListsSetsAndChecksValuesAgainstTheirRange)
{
    UseSample("orvane-640x480-60-vga.chp");
    ToolRun run = Run("--profile \"" + profile_ + "\" --list --info --profile");
    ASSERT_EQ(run.exitCode, 0u) << run.Output();
    for (const char* expected : {"Image Format", "  9: BGR 24", "Gain                   id 1   double   0.5000 .. 2.4000",
                                 "Brightness             id 6   integer  0 .. 255", "geometry         640 x 480",
                                 "format code      500", "Profile: "}) {
        EXPECT_NE(run.Output().find(expected), std::string::npos) << "missing \"" << expected << "\" in:\n" << run.Output();
    }

    // The file is remembered: later runs need no --profile.
    run = Run("--set gain=1.23456 --set 6=300");
    EXPECT_EQ(run.exitCode, 2u) << run.Output();
    EXPECT_NE(run.Output().find("Gain = 1.2345"), std::string::npos) << run.Output();
    EXPECT_NE(run.Output().find("Brightness: 300 is outside its range 0 .. 255"), std::string::npos) << run.Output();
    EXPECT_EQ(Read("ORVANEHD", "Gain"), "1.2346");

    run = Run("--set \"Image Format=Mono 8\" --get 10 --get Nonexistent");
    EXPECT_EQ(run.exitCode, 2u) << run.Output();
    EXPECT_NE(run.Output().find("Image Format = 0 (Mono 8)"), std::string::npos) << run.Output();
    EXPECT_NE(run.Output().find("no setting or adjustment \"Nonexistent\""), std::string::npos) << run.Output();

    EXPECT_EQ(Run("--yes").exitCode, 2u) << "an answer without its question";
}

// The board chosen by serial number is the one opened: its white balance lands in the profile
// under its own serial.
TEST_F(ControlTool, ChoosesTheBoardBySerialNumber)
{
    tool_.SetEnvironment({"ORVANE_SIMBOARDS=OH72391,OH72392,OH72393"});
    UseSample("orvane-1920x1080-60-dvi.chp");
    ToolRun run = Run("--profile \"" + profile_ + "\" --board OH72392 --white-balance --yes --info");
    ASSERT_EQ(run.exitCode, 0u) << run.Output();
    EXPECT_NE(run.out.find("Board Serial"), std::string::npos) << run.out;
    EXPECT_NE(Read("O-RGB Calibration OH72392", "RED_GAIN_CALIB"), "<missing>");
    EXPECT_EQ(Read("O-RGB Calibration OH72391", "RED_GAIN_CALIB"), "<missing>");

    run = Run("--board OH99999 --info");
    EXPECT_EQ(run.exitCode, 1u) << run.Output();
    EXPECT_NE(run.err.find("Board Serial \"OH99999\" not found; boards present: OH72391, OH72392, OH72393"), std::string::npos) << run.err;
    EXPECT_EQ(orvane::test::ScratchRegistryKey::GetString(registry_.Path() + "\\Orvane", "Board Serial"), "OH72392")
        << "a serial no board has is not remembered";
}

TEST_F(ControlTool, WhiteBalanceAnswersTheModulesQuestionAndWritesTheCalibration)
{
    UseSample("orvane-1920x1080-60-dvi.chp");
    ToolRun run = Run("--profile \"" + profile_ + "\" --white-balance --no");
    ASSERT_EQ(run.exitCode, 0u) << run.Output();
    EXPECT_NE(run.Output().find("Do you want to keep the changes? no"), std::string::npos) << run.Output();
    EXPECT_EQ(Read("O-RGB Calibration OH72391", "RED_GAIN_CALIB"), "<missing>");

    run = Run("--white-balance --yes");
    ASSERT_EQ(run.exitCode, 0u) << run.Output();
    EXPECT_NE(run.Output().find("kept and written"), std::string::npos) << run.Output();
    EXPECT_NE(Read("O-RGB Calibration OH72391", "RED_GAIN_CALIB"), "<missing>");
}

TEST_F(ControlTool, WithoutABoardFileItSaysHowToGiveOne)
{
    const ToolRun run = Run("--list");
    EXPECT_EQ(run.exitCode, 1u) << run.Output();
    EXPECT_NE(run.Output().find("give one with --profile FILE"), std::string::npos) << run.Output();
}

// One settings key for both tools: what orvane-ctl sets is what the next capture uses, the
// capture's summary says it was remembered, and --reset forgets it.
TEST_F(ControlTool, SettingsReachTheNextCaptureUntilReset)
{
    UseSample("orvane-640x480-60-vga.chp");
    ToolRun run = Run("--profile \"" + profile_ + "\" --set \"Image Format=Mono 8\"");
    ASSERT_EQ(run.exitCode, 0u) << run.Output();

    run = Run("--list --info --json");
    ASSERT_EQ(run.exitCode, 0u) << run.Output();
    const nlohmann::json shown = nlohmann::json::parse(run.out);
    EXPECT_EQ(shown["settings"][0]["name"], "Image Format");
    EXPECT_EQ(shown["settings"][0]["value"], 0);
    EXPECT_EQ(shown["image"]["bits_per_pixel"], 8);
    std::vector<std::string> remembered;
    for (const auto& value : shown["remembered"]) {
        remembered.push_back(value["name"]);
    }
    EXPECT_EQ(remembered, (std::vector<std::string>{"Board File", "ImageFormat"}));

    orvane::test::ScratchFolder out("orvane-ctl-test-capture");
    orvane::test::ToolProcess capture("orvane-capture.exe", "orvane-ctl-test-capture");
    run = capture.Run("--direct --registry-path \"" + registry_.Path() + "\" --out-dir \"" + out.Path() + "\" --frames 5 --save-every 0");
    ASSERT_EQ(run.exitCode, 0u) << run.Output();
    EXPECT_NE(run.out.find("\"Mono 8\" (type 0), 8 bits per pixel"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("ImageFormat          = 0 (remembered;"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("640 x 480"), std::string::npos) << "the profile orvane-ctl chose:\n" << run.out;

    run = Run("--reset");
    ASSERT_EQ(run.exitCode, 0u) << run.Output();
    EXPECT_NE(run.out.find("Forgot: Board File, ImageFormat"), std::string::npos) << run.out;
    EXPECT_EQ(Run("--info").exitCode, 1u) << "no board file is remembered any more";
}

// Black level and gain bounds arrive in single precision: the limit --list shows is accepted, and
// what lies past it still refused.
TEST(ControlRange, ALimitOfferedInSinglePrecisionTakesTheValueShown)
{
    const double max = static_cast<float>(2.6);  // 2.5999999046
    EXPECT_TRUE(orvane::ctl::WithinRange(2.6, 0.5, max));
    EXPECT_FALSE(orvane::ctl::WithinRange(2.6001, 0.5, max));
    EXPECT_FALSE(orvane::ctl::WithinRange(0.4999, 0.5, max));
}

// The board keeps tenths of the back porch and the phase: 40.55 read back as 40.5 was taken, 4095
// read back as 10 was not.
TEST(ControlRange, AValueReadBackWithinHalfATenthWasTaken)
{
    EXPECT_TRUE(orvane::ctl::TookValue(40.55, 40.5));
    EXPECT_TRUE(orvane::ctl::TookValue(1.23456, 1.2346));
    EXPECT_TRUE(orvane::ctl::TookValue(2.6, static_cast<float>(2.6)));
    EXPECT_FALSE(orvane::ctl::TookValue(4095, 10));
    EXPECT_FALSE(orvane::ctl::TookValue(40.7, 40.5));
}

}  // namespace
