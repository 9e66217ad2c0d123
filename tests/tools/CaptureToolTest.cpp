// orvane-capture end to end: registered module, simulated board, real files out.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/ComApartment.h"
#include "tests/support/ModulePath.h"
#include "tests/support/ModuleRegistration.h"
#include "tests/support/TestProcessLock.h"
#include "tests/tools/PngFile.h"

namespace {

using orvane::test::BesideTestProgram;
using orvane::test::BesideTestProgramA;
using orvane::test::EnsureModuleRegistration;

struct ToolRun {
    DWORD exitCode = ~0u;
    std::string output;  // stdout and stderr together
};

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Runs the tool with its output in a file (pipes would be held open by Wine's helper processes);
// a run that does not end within the bound fails and is ended.
ToolRun RunCapture(const std::string& arguments, const std::string& outputFile)
{
    ToolRun run;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE output = CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "cannot create " << outputFile;
        return run;
    }
    std::string line = "\"" + BesideTestProgramA("orvane-capture.exe") + "\" " + arguments;
    std::vector<char> mutableLine(line.begin(), line.end());
    mutableLine.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(output);
    if (!started) {
        ADD_FAILURE() << "cannot start orvane-capture.exe (" << GetLastError() << ")";
        return run;
    }
    if (WaitForSingleObject(process.hProcess, 90000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &run.exitCode);
    } else {
        ADD_FAILURE() << "orvane-capture.exe did not end within 90 s";
        TerminateProcess(process.hProcess, 3);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    run.output = ReadFile(outputFile);
    return run;
}

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

class CaptureTool : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // The tool creates the object through its registration, as a host does.
        EXPECT_EQ(EnsureModuleRegistration(BesideTestProgram(L"Orvane.dll")), S_OK);
    }

    void SetUp() override
    {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        folder_ = std::string(temp) + "orvane-capture-test-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder_.c_str(), nullptr);
    }

    void TearDown() override
    {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder_ + "\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                DeleteFileA((folder_ + "\\" + found.cFileName).c_str());
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(folder_.c_str());
    }

    std::string In(const char* name) const { return folder_ + "\\" + name; }

    std::string folder_;
};

TEST_F(CaptureTool, CapturesFramesIntoSummaryCsvAndImages)
{
    // With --log the tool reads the debug output: its turn, as a listener of the tests takes one.
    const orvane::test::TestProcessLock turn(orvane::test::kDebugOutputTurn);
    ASSERT_TRUE(turn.Held());
    const ToolRun run = RunCapture("--frames 60 --save-every 30 --log --out-dir \"" + folder_ + "\"", In("output.txt"));
    ASSERT_EQ(run.exitCode, 0u) << run.output;

    for (const char* expected : {"Orvane capture summary", "format               :", "frames delivered     : 60 in", "frame rate           :",
                                 "dropped by the board :", "lost in the module   : 0 (", "GrabNext overruns    :", "GetCurrent overruns  :",
                                 "time stamp interval  :", "latency fill->frame  :", "Orvane - Loading Orvane"}) {
        EXPECT_NE(run.output.find(expected), std::string::npos) << "missing \"" << expected << "\" in:\n" << run.output;
    }

    // One row per frame, in delivery order, with time stamps that never go back and the board's
    // frame numbers rising.
    const std::vector<std::string> rows = Lines(ReadFile(In("capture.csv")));
    ASSERT_EQ(rows.size(), 61u) << "header plus 60 frames expected";
    EXPECT_EQ(rows[0].rfind("frame,seconds,ms,us,fill_qpc,delivered_qpc,latency_us", 0), 0u);
    double lastStamp = 0;
    long long lastBoardFrame = -1;
    for (size_t i = 1; i < rows.size(); ++i) {
        unsigned long long index = 0;
        long seconds = 0;
        unsigned ms = 0, us = 0;
        long long fill = 0, delivered = 0;
        ASSERT_EQ(std::sscanf(rows[i].c_str(), "%llu,%ld,%u,%u,%lld,%lld", &index, &seconds, &ms, &us, &fill, &delivered), 6) << rows[i];
        EXPECT_EQ(index, i - 1);
        EXPECT_LT(ms, 1000u);
        EXPECT_LT(us, 1000u);
        EXPECT_GT(fill, 0) << rows[i];
        EXPECT_GE(delivered, fill) << "delivered before filled: " << rows[i];
        const double stamp = seconds + ms / 1e3 + us / 1e6;
        EXPECT_GE(stamp, lastStamp) << rows[i];
        lastStamp = stamp;
        const size_t boardField = [&] {
            size_t at = 0;
            for (int comma = 0; comma < 7; ++comma) {
                at = rows[i].find(',', at) + 1;
            }
            return at;
        }();
        const long long boardFrame = std::atoll(rows[i].c_str() + boardField);
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
    const ToolRun bad = RunCapture("--frames many", In("bad.txt"));
    EXPECT_EQ(bad.exitCode, 2u);
    EXPECT_NE(bad.output.find("--frames"), std::string::npos) << bad.output;

    const ToolRun missing = RunCapture("--profile \"" + In("absent.chp") + "\" --frames 5", In("missing.txt"));
    EXPECT_EQ(missing.exitCode, 1u);
    EXPECT_NE(missing.output.find("profile not found"), std::string::npos) << missing.output;
    EXPECT_NE(missing.output.find("absent.chp"), std::string::npos) << missing.output;
}

}  // namespace
