// orvane-ctl end to end: the module beside the tool on the simulated board, a scratch host key and
// a private copy of a sample profile, which the tool's changes reach.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/ModulePath.h"
#include "tests/support/ScratchRegistryKey.h"
#include "tools/ctl/Controls.h"

namespace {

using orvane::test::BesideTestProgramA;

struct ToolRun {
    DWORD exitCode = ~0u;
    std::string output;  // stdout and stderr together
};

class ControlTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        const std::string stem = std::string(temp) + "orvane-ctl-test-" + std::to_string(GetCurrentProcessId());
        profile_ = stem + ".chp";
        outputFile_ = stem + ".txt";
    }

    void TearDown() override
    {
        DeleteFileA(profile_.c_str());
        DeleteFileA(outputFile_.c_str());
    }

    void UseSample(const char* sample)
    {
        ASSERT_TRUE(CopyFileA(BesideTestProgramA(std::string("profiles\\") + sample).c_str(), profile_.c_str(), FALSE));
    }

    // Runs the tool with its output in a file (pipes would be held open by Wine's helper
    // processes) and no input; a run that does not end within the bound fails and is ended.
    ToolRun Run(const std::string& arguments)
    {
        ToolRun run;
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE output = CreateFileA(outputFile_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (output == INVALID_HANDLE_VALUE) {
            ADD_FAILURE() << "cannot create " << outputFile_;
            return run;
        }
        std::string line = "\"" + BesideTestProgramA("orvane-ctl.exe") + "\" --direct --registry-path \"" +
                           registry_.Path() + "\" " + arguments;
        std::vector<char> mutableLine(line.begin(), line.end());
        mutableLine.push_back('\0');
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = output;
        startup.hStdError = output;
        PROCESS_INFORMATION process{};
        const BOOL started =
            CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
        CloseHandle(output);
        if (!started) {
            ADD_FAILURE() << "cannot start orvane-ctl.exe (" << GetLastError() << ")";
            return run;
        }
        if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
            GetExitCodeProcess(process.hProcess, &run.exitCode);
        } else {
            ADD_FAILURE() << "orvane-ctl.exe did not end within 60 s";
            TerminateProcess(process.hProcess, 3);
            WaitForSingleObject(process.hProcess, 5000);
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        std::ifstream file(outputFile_, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        run.output = text.str();
        return run;
    }

    std::string Read(const char* section, const char* key) const
    {
        char value[64] = {};
        GetPrivateProfileStringA(section, key, "<missing>", value, sizeof value, profile_.c_str());
        std::string text = value;
        return text.erase(0, text.find_first_not_of(' '));
    }

    orvane::test::ScratchRegistryKey registry_;
    std::string profile_;
    std::string outputFile_;
};

TEST_F(ControlTool, ListsSetsAndChecksValuesAgainstTheirRange)
{
    UseSample("orvane-640x480-60-vga.chp");
    ToolRun run = Run("--profile \"" + profile_ + "\" --list --info --profile");
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    for (const char* expected : {"Image Format", "  9: BGR 24", "Gain                   id 1   double   0.5000 .. 2.4000",
                                 "Brightness             id 6   integer  0 .. 255", "geometry         640 x 480",
                                 "format code      500", "Profile: "}) {
        EXPECT_NE(run.output.find(expected), std::string::npos) << "missing \"" << expected << "\" in:\n" << run.output;
    }

    // The file is remembered: later runs need no --profile.
    run = Run("--set gain=1.23456 --set 6=300");
    EXPECT_EQ(run.exitCode, 2u) << run.output;
    EXPECT_NE(run.output.find("Gain = 1.2345"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Brightness: 300 is outside its range 0 .. 255"), std::string::npos) << run.output;
    EXPECT_EQ(Read("ORVANEHD", "Gain"), "1.2346");

    run = Run("--set \"Image Format=Mono 8\" --get 10 --get Nonexistent");
    EXPECT_EQ(run.exitCode, 2u) << run.output;
    EXPECT_NE(run.output.find("Image Format = 0 (Mono 8)"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("no setting or adjustment \"Nonexistent\""), std::string::npos) << run.output;

    EXPECT_EQ(Run("--yes").exitCode, 2u) << "an answer without its question";
}

TEST_F(ControlTool, WhiteBalanceAnswersTheModulesQuestionAndWritesTheCalibration)
{
    UseSample("orvane-1920x1080-60-dvi.chp");
    ToolRun run = Run("--profile \"" + profile_ + "\" --white-balance --no");
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.output.find("Do you want to keep the changes? no"), std::string::npos) << run.output;
    EXPECT_EQ(Read("O-RGB Calibration OH72391", "RED_GAIN_CALIB"), "<missing>");

    run = Run("--white-balance --yes");
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.output.find("kept and written"), std::string::npos) << run.output;
    EXPECT_NE(Read("O-RGB Calibration OH72391", "RED_GAIN_CALIB"), "<missing>");
}

TEST_F(ControlTool, WithoutABoardFileItSaysHowToGiveOne)
{
    const ToolRun run = Run("--list");
    EXPECT_EQ(run.exitCode, 1u) << run.output;
    EXPECT_NE(run.output.find("give one with --profile FILE"), std::string::npos) << run.output;
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

}  // namespace
