// What users met when they tried the tools as a new user would: profiles the board cannot use,
// huge frame counts, refused time sources and values, outputs that cannot be written, registry
// paths as typed, the plug-in checker's --help. Each ends in bounded time with its documented exit
// code and a one-line reason; none hangs, crashes or reports success.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "tests/support/ModulePath.h"
#include "tests/support/ScratchRegistryKey.h"
#include "tests/tools/ToolProcess.h"

namespace {

using orvane::test::BesideTestProgramA;
using orvane::test::ScratchRegistryKey;
using orvane::test::ToolRun;

class ToolFailures : public ::testing::Test {
protected:
    // Both tools with this test's own settings key (with its trailing separator, doubled before the
    // closing quote) and files, the module loaded from beside them.
    ToolRun Capture(const std::string& arguments)
    {
        return capture_.Run("--direct --registry-path \"" + registry_.Path() + "\\\\\" --out-dir \"" + folder_.Path() + "\" " + arguments,
                            60000);
    }
    ToolRun Control(const std::string& arguments)
    {
        return control_.Run("--direct --registry-path \"" + registry_.Path() + "\\\\\" " + arguments, 60000);
    }

    std::string Write(const std::string& name, const std::string& content) const
    {
        const std::string path = folder_.In(name);
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    std::string Sample(const char* name) const
    {
        const std::string path = folder_.In(name);
        CopyFileA(BesideTestProgramA(std::string("profiles\\") + name).c_str(), path.c_str(), FALSE);
        return path;
    }

    std::string RememberedBoardFile() const
    {
        return ScratchRegistryKey::GetString(registry_.Path() + "\\Orvane", "Board File").value_or("<none>");
    }

    ScratchRegistryKey registry_;
    orvane::test::ScratchFolder folder_{"orvane-tool-failures"};
    orvane::test::ToolProcess capture_{"orvane-capture.exe", "orvane-tool-failures-capture"};
    orvane::test::ToolProcess control_{"orvane-ctl.exe", "orvane-tool-failures-ctl"};
};

// The module would ask for another profile in a dialog nobody at a terminal can see or answer.
TEST_F(ToolFailures, AProfileTheBoardCannotUseEndsWithItsReasonAndIsNotRemembered)
{
    const std::string good = Sample("orvane-640x480-60-vga.chp");
    ASSERT_EQ(Control("--profile \"" + good + "\" --info").exitCode, 0u);
    ASSERT_EQ(RememberedBoardFile(), good);

    std::string noise(4096, '\0');
    std::uint32_t state = 12345;
    for (char& c : noise) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    std::string badNumber = orvane::test::ReadWholeFile(good);
    const size_t line = badNumber.find("Horizontal Frequency=");
    badNumber.replace(line, badNumber.find('\n', line) - line, "Horizontal Frequency=abc");
    const struct {
        const char* name;
        std::string content;
        const char* reason;  // in the board library's text
    } profiles[] = {
        {"noise.chp", noise, "[ORVANEHD]"},
        {"other-board.chp", "[SOMEBOARD]\r\nWidth=640\r\n", "[ORVANEHD]"},
        {"bad-number.chp", badNumber, "Horizontal Frequency"},
    };
    for (const auto& profile : profiles) {
        const std::string path = Write(profile.name, profile.content);
        for (const bool capture : {true, false}) {
            const ToolRun run = capture ? Capture("--profile \"" + path + "\" --frames 5") : Control("--profile \"" + path + "\" --info");
            SCOPED_TRACE(std::string(capture ? "orvane-capture " : "orvane-ctl ") + profile.name);
            EXPECT_TRUE(run.ended);
            EXPECT_EQ(run.exitCode, 1u) << run.Output();
            EXPECT_NE(run.err.find(profile.reason), std::string::npos) << run.err;
            EXPECT_EQ(RememberedBoardFile(), good) << "a profile that did not load is not kept";
        }
    }
}

TEST_F(ToolFailures, AHugeFrameCountStopsAtTheTimeGiven)
{
    const ToolRun run = Capture("--frames 2147483647 --seconds 1 --save-every 0");
    EXPECT_EQ(run.exitCode, 0u) << run.Output();
    EXPECT_NE(run.out.find("frames delivered     :"), std::string::npos) << run.Output();
}

TEST_F(ToolFailures, ATimeSourceTheModuleDidNotUseEndsNonzero)
{
    const struct {
        const char* library;
        const char* reason;  // the module's line, quoted by the tool
    } cases[] = {
        {"ts_noprocess.dll", "Loading the time source failed. Defaulting to system clock."},
        // Dropped on its first frame; frames go on with the system clock. Only where unwinding
        // crosses modules (64-bit builds): a 32-bit plug-in's exception ends the process instead.
        {sizeof(void*) == 8 ? "ts_throws.dll" : nullptr, "The time source failed on a frame. Defaulting to system clock."},
    };
    for (const auto& c : cases) {
        if (c.library == nullptr) {
            continue;
        }
        SCOPED_TRACE(c.library);
        const ToolRun run = Capture(std::string("--timesource ") + c.library + " --frames 5 --save-every 0");
        EXPECT_EQ(run.exitCode, 4u) << run.Output();
        EXPECT_NE(run.out.find("frames delivered     : 5 in"), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("time source          : system clock"), std::string::npos) << run.out;
        EXPECT_NE(run.err.find(std::string("did not use the time source ") + c.library + ": " + c.reason), std::string::npos) << run.err;
        EXPECT_FALSE(ScratchRegistryKey::GetString(registry_.Path(), "TimeSourceDLL")) << "not remembered for the next run";
    }
}

TEST_F(ToolFailures, AValueTheBoardDidNotTakeEndsNonzero)
{
    ASSERT_EQ(Control("--profile \"" + Sample("orvane-640x480-60-vga.chp") + "\" --info").exitCode, 0u);
    for (const char* set : {"Horizontal Back Sync=8191", "Vertical Back Porch=4095"}) {
        const ToolRun run = Control(std::string("--set \"") + set + "\"");
        EXPECT_EQ(run.exitCode, 5u) << set << "\n" << run.Output();
        EXPECT_NE(run.err.find("the board did not take"), std::string::npos) << run.err;
    }
}

TEST_F(ToolFailures, AnOutputThatCannotBeWrittenEndsNonzero)
{
    const ToolRun csv = Capture("--frames 5 --save-every 0 --csv \"" + folder_.In("missing\\capture.csv") + "\"");
    EXPECT_EQ(csv.exitCode, 3u) << csv.Output();
    EXPECT_NE(csv.err.find("capture.csv"), std::string::npos) << csv.err;

    // The first snapshot's name is taken by a folder.
    ASSERT_TRUE(CreateDirectoryA(folder_.In("frame-000000.png").c_str(), nullptr));
    const ToolRun image = Capture("--frames 5 --save-every 5");
    EXPECT_EQ(image.exitCode, 3u) << image.Output();
    EXPECT_NE(image.err.find("frame-000000.png"), std::string::npos) << image.err;
}

TEST_F(ToolFailures, TheRegistryPathIsTakenAsAKeyBelowTheUsersKey)
{
    // Without a trailing separator the module's values still go into a key below it.
    const std::string good = Sample("orvane-640x480-60-vga.chp");
    ASSERT_EQ(control_.Run("--direct --registry-path \"" + registry_.Path() + "\" --profile \"" + good + "\" --info", 60000).exitCode, 0u);
    EXPECT_EQ(ScratchRegistryKey::GetString(registry_.Path() + "\\Orvane", "Board File"), good);
    EXPECT_FALSE(ScratchRegistryKey::KeyExists(HKEY_CURRENT_USER, registry_.Path() + "Orvane"));

    for (const std::string& path : {std::string(), "HKEY_CURRENT_USER\\" + registry_.Path(), "\\" + registry_.Path()}) {
        const ToolRun run = control_.Run("--direct --registry-path \"" + path + "\" --info", 60000);
        EXPECT_EQ(run.exitCode, 2u) << "\"" << path << "\"\n" << run.Output();
    }
}

TEST_F(ToolFailures, ThePluginCheckerAnswersHelpAndVersion)
{
    orvane::test::ToolProcess checker("orvane-timesource-check.exe", "orvane-tool-failures-checker");
    for (const char* ask : {"--help", "-h", "/?", "--version"}) {
        const ToolRun run = checker.Run(ask, 60000);
        EXPECT_EQ(run.exitCode, 0u) << ask << "\n" << run.Output();
        EXPECT_NE(run.out.find("orvane-timesource-check"), std::string::npos) << ask << "\n" << run.Output();
        EXPECT_EQ(run.Output().find("Loading"), std::string::npos) << ask << " taken for a library:\n" << run.Output();
    }
}

}  // namespace
