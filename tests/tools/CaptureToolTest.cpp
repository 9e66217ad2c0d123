// orvane-capture end to end: registered module, simulated board, real files out.
#include <windows.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/ComApartment.h"
#include "tests/support/ModulePath.h"
#include "tests/support/ModuleRegistration.h"
#include "tests/support/ScratchRegistryKey.h"
#include "tests/tools/PngFile.h"
#include "tests/tools/ToolProcess.h"

namespace {

using orvane::test::BesideTestProgram;
using orvane::test::EnsureModuleRegistration;
using orvane::test::ToolRun;

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::stringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

// The comma-separated fields of a CSV row.
std::vector<std::string> Fields(const std::string& row)
{
    std::vector<std::string> fields;
    std::stringstream stream(row);
    for (std::string field; std::getline(stream, field, ',');) {
        fields.push_back(field);
    }
    if (!row.empty() && row.back() == ',') {
        fields.emplace_back();
    }
    return fields;
}

class CaptureTool : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // The tool creates the object through its registration, as a host does.
        EXPECT_EQ(EnsureModuleRegistration(BesideTestProgram(L"Orvane.dll")), S_OK);
    }

    // The tool with this test's own settings key and output folder.
    ToolRun Capture(const std::string& arguments)
    {
        return tool_.Run("--registry-path \"" + registry_.Path() + "\" --out-dir \"" + folder_.Path() + "\" " + arguments);
    }

    std::string In(const char* name) const { return folder_.In(name); }

    orvane::test::ScratchRegistryKey registry_;
    orvane::test::ScratchFolder folder_{"orvane-capture-test"};
    orvane::test::ToolProcess tool_{"orvane-capture.exe", "orvane-capture-test"};
};

TEST_F(CaptureTool, CapturesFramesIntoSummaryCsvAndImages)
{
    const ToolRun run = Capture("--frames 60 --save-every 30 --log");
    ASSERT_EQ(run.exitCode, 0u) << run.Output();

    for (const char* expected : {"Orvane capture summary", "format               :", "frames delivered     : 60 in", "frame rate           :",
                                 "dropped by the board :", "lost in the module   : 0 (", "GrabNext waits       :", "waited for a free buffer",
                                 "GetCurrent waits     :", "time stamp interval  :", "latency fill->frame  :", "Board File           = ",
                                 "(given now;", "Orvane - Loading Orvane"}) {
        EXPECT_NE(run.out.find(expected), std::string::npos) << "missing \"" << expected << "\" in:\n" << run.Output();
    }
    EXPECT_EQ(run.Output().find("overruns"), std::string::npos) << "a healthy run reads as one:\n" << run.Output();

    // One row per frame, in delivery order, with time stamps that never go back, the board's
    // frame numbers rising and the time column agreeing with the header's three fields.
    const std::vector<std::string> rows = Lines(orvane::test::ReadWholeFile(In("capture.csv")));
    ASSERT_EQ(rows.size(), 61u) << "header plus 60 frames expected";
    EXPECT_EQ(rows[0], "frame,seconds,ms,us,fill_qpc,delivered_qpc,latency_us,board_frame,checksum,timecode,time");
    double lastStamp = 0;
    long long lastBoardFrame = -1;
    for (size_t i = 1; i < rows.size(); ++i) {
        const std::vector<std::string> f = Fields(rows[i]);
        ASSERT_EQ(f.size(), 11u) << rows[i];
        EXPECT_EQ(std::stoull(f[0]), i - 1);
        const unsigned ms = static_cast<unsigned>(std::stoul(f[2]));
        const unsigned us = static_cast<unsigned>(std::stoul(f[3]));
        EXPECT_LT(ms, 1000u);
        EXPECT_LT(us, 1000u);
        const long long fill = std::stoll(f[4]);
        EXPECT_GT(fill, 0) << rows[i];
        EXPECT_GE(std::stoll(f[5]), fill) << "delivered before filled: " << rows[i];
        char time[40];
        std::snprintf(time, sizeof time, "%s.%03u%03u", f[1].c_str(), ms, us);
        EXPECT_EQ(f[10], time) << rows[i];
        const double stamp = std::stod(f[10]);
        EXPECT_GE(stamp, lastStamp) << rows[i];
        lastStamp = stamp;
        const long long boardFrame = std::stoll(f[7]);
        EXPECT_GT(boardFrame, lastBoardFrame) << rows[i];
        lastBoardFrame = boardFrame;
    }

    // Frames 0 and 30 saved as 24-bit colour PNGs showing the colour bars.
    const orvane::ComApartment apartment;
    for (const char* name : {"frame-000000.png", "frame-000030.png"}) {
        orvane::test::PngPicture picture;
        ASSERT_TRUE(orvane::test::ReadPng(In(name), 3, picture)) << name;
        EXPECT_TRUE(IsEqualGUID(picture.format, GUID_WICPixelFormat24bppBGR)) << name;
        ASSERT_EQ(picture.width, 1920u);
        ASSERT_EQ(picture.height, 1080u);
        // A row in the lower part of the picture crosses all eight bars.
        const BYTE* row = picture.pixels.data() + static_cast<size_t>(1920) * 3 * 979;
        std::set<std::uint32_t> colours;
        for (int x = 0; x < 1920; ++x) {
            colours.insert(static_cast<std::uint32_t>(row[x * 3] | row[x * 3 + 1] << 8 | row[x * 3 + 2] << 16));
        }
        EXPECT_GE(colours.size(), 6u) << name << " does not show the colour bars";
    }
}

TEST_F(CaptureTool, ExplainsBadCommandLineAndMissingProfile)
{
    const ToolRun bad = Capture("--frames many");
    EXPECT_EQ(bad.exitCode, 2u);
    EXPECT_NE(bad.err.find("--frames"), std::string::npos) << bad.Output();

    const ToolRun missing = Capture("--profile \"" + In("absent.chp") + "\" --frames 5");
    EXPECT_EQ(missing.exitCode, 1u);
    EXPECT_NE(missing.err.find("profile not found"), std::string::npos) << missing.Output();
    EXPECT_NE(missing.err.find("absent.chp"), std::string::npos) << missing.Output();
}

// As `v4l2-ctl --stream-to -`: standard output carries the frames and nothing else, the frame size
// is said on standard error.
TEST_F(CaptureTool, StreamsExactlyTheAnnouncedFramesToStandardOutput)
{
    const ToolRun run = Capture("--stream-to - --frames 60 --save-every 0 --profile \"" +
                                orvane::test::BesideTestProgramA("profiles\\orvane-640x480-60-vga.chp") + "\"");
    ASSERT_EQ(run.exitCode, 0u) << run.err;
    const size_t note = run.err.find(" bytes per frame");
    ASSERT_NE(note, std::string::npos) << run.err;
    const size_t number = run.err.rfind(' ', note - 1) + 1;
    const unsigned long long frameBytes = std::stoull(run.err.substr(number, note - number));
    EXPECT_EQ(frameBytes, 640ull * 480 * 4);
    EXPECT_EQ(run.out.size(), 60 * frameBytes);
    EXPECT_NE(run.err.find("Orvane capture summary"), std::string::npos) << "the summary goes to standard error";
    // The first frame as the simulated board painted it: "OHDF" after its frame number.
    ASSERT_GE(run.out.size(), 12u);
    EXPECT_EQ(run.out.substr(8, 4), "OHDF");
}

TEST_F(CaptureTool, JsonSummaryIsReadByAJsonLibrary)
{
    const ToolRun run = Capture("--json --frames 10 --save-every 0 --time-offset 1000 --profile \"" +
                                orvane::test::BesideTestProgramA("profiles\\orvane-640x480-60-vga.chp") + "\"");
    ASSERT_EQ(run.exitCode, 0u) << run.Output();
    const nlohmann::json summary = nlohmann::json::parse(run.out);
    EXPECT_EQ(summary["exit_code"], 0);
    EXPECT_EQ(summary["frames"]["delivered"], 10);
    EXPECT_EQ(summary["image"]["width"], 640);
    EXPECT_EQ(summary["image"]["bytes_per_frame"], 640 * 480 * 4);
    EXPECT_EQ(summary["time_source"]["in_use"], "system clock");
    EXPECT_EQ(summary["outputs"]["csv_rows"], 10);
    // The module's own count: every frame delivered was captured, none lost on a healthy run.
    const nlohmann::json& module = summary["module"];
    EXPECT_GE(module["captured"].get<long long>(), 10) << module;
    EXPECT_EQ(module["lost"], 0) << module;
    EXPECT_EQ(module["lost"], module["lost_no_image"].get<long long>() + module["lost_unread"].get<long long>()) << module;
    EXPECT_TRUE(module.contains("board_frames_skipped")) << module;
    std::set<std::string> given;
    for (const auto& value : summary["remembered"]) {
        if (value["given_now"] == true) {
            given.insert(value["name"].get<std::string>());
        }
    }
    EXPECT_EQ(given, (std::set<std::string>{"Board File", "TimeSourceOffset"}));
}

// Several boards, chosen by serial number. The simulated board takes the boards of the whole run
// from ORVANE_SIMBOARDS.
TEST_F(CaptureTool, ChoosesTheBoardBySerialNumber)
{
    tool_.SetEnvironment({"ORVANE_SIMBOARDS=OH72391,OH72392,OH72393"});
    ToolRun run = Capture("--list-boards");
    ASSERT_EQ(run.exitCode, 0u) << run.Output();
    for (const char* serial : {"OH72391", "OH72392", "OH72393"}) {
        EXPECT_NE(run.out.find(serial), std::string::npos) << run.out;
    }

    // Every frame filled by the second board, as the simulated board's header says: its board index
    // at bytes 24..25, its serial number at 28..35.
    run = Capture("--board OH72392 --frames 10 --save-every 0 --stream-to \"" + In("board.raw") + "\" --profile \"" +
                  orvane::test::BesideTestProgramA("profiles\\orvane-640x480-60-vga.chp") + "\"");
    ASSERT_EQ(run.exitCode, 0u) << run.Output();
    EXPECT_NE(run.out.find("Board Serial         = OH72392 (given now;"), std::string::npos) << run.out;
    const std::string frames = orvane::test::ReadWholeFile(In("board.raw"));
    const size_t frameBytes = 640 * 480 * 4;
    ASSERT_EQ(frames.size(), 10 * frameBytes);
    for (size_t at = 0; at < frames.size(); at += frameBytes) {
        EXPECT_EQ(frames.substr(at + 8, 4), "OHDF") << "frame " << at / frameBytes;
        EXPECT_EQ(frames.substr(at + 24, 2), std::string("\x02\x00", 2)) << "frame " << at / frameBytes;
        EXPECT_EQ(frames.substr(at + 28, 8), std::string("OH72392\0", 8)) << "frame " << at / frameBytes;
    }

    // A serial no board has: the module's reason names it and the ones present; the board chosen
    // before stays remembered.
    run = Capture("--board OH99999 --frames 5 --save-every 0");
    EXPECT_EQ(run.exitCode, 1u) << run.Output();
    EXPECT_NE(run.err.find("Board Serial \"OH99999\" not found; boards present: OH72391, OH72392, OH72393"), std::string::npos) << run.err;
    EXPECT_EQ(orvane::test::ScratchRegistryKey::GetString(registry_.Path() + "\\Orvane", "Board Serial"), "OH72392");
}

}  // namespace
