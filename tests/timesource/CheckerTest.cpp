// The plug-in checker, run as an author would: its verdict on a plug-in the module refuses, and
// what happens when an exception leaves a plug-in, which the public header promises per build.
// (The sample plug-in's verdict is its end-to-end capture.)
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/ModulePath.h"

namespace orvane::test {
namespace {

struct CheckerRun {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output;
};

// Output through a file: pipes would be held open by Wine's helper processes.
CheckerRun RunChecker(const std::string& plugin)
{
    CheckerRun run;
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string outputFile =
        std::string(temp) + "orvane-check-" + std::to_string(GetCurrentProcessId()) + "-" + plugin + ".txt";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE output = CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "cannot create " << outputFile;
        return run;
    }
    std::string line = "\"" + BesideTestProgramA("orvane-timesource-check.exe") + "\" " + plugin;
    std::vector<char> mutableLine(line.begin(), line.end());
    mutableLine.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(output);
    if (!started) {
        ADD_FAILURE() << "cannot start the checker (" << GetLastError() << ")";
        return run;
    }
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &run.exitCode);
    } else {
        ADD_FAILURE() << "the checker did not end within 60 s";
        TerminateProcess(process.hProcess, 3);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    {
        std::ifstream file(outputFile, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        run.output = text.str();
    }
    DeleteFileA(outputFile.c_str());
    return run;
}

bool Has(const CheckerRun& run, const std::string& text)
{
    return run.output.find(text) != std::string::npos;
}

TEST(TimeSourceChecker, NamesTheMissingRequiredExport)
{
    const CheckerRun run = RunChecker("ts_noprocess.dll");
    EXPECT_EQ(run.exitCode, 1u) << run.output;
    EXPECT_TRUE(Has(run, "ProcessImageData           required  MISSING")) << run.output;
    EXPECT_TRUE(Has(run, "MicroSecond                optional  found")) << run.output;
}

// What the public header promises: on 64-bit builds an exception out of ProcessImageData reaches
// the module, which stops using the plug-in; a 32-bit plug-in with its own runtime cannot unwind
// into the module, and the process ends before anything of the module sees it.
TEST(TimeSourceChecker, AnExceptionLeavingAPluginIsCaughtOnlyWhereUnwindingCrossesModules)
{
    const CheckerRun run = RunChecker("ts_throws.dll");
    EXPECT_TRUE(Has(run, "Initialize: ready")) << run.output;
#if defined(_M_X64) || defined(__x86_64__)
    EXPECT_EQ(run.exitCode, 1u) << run.output;
    EXPECT_TRUE(Has(run, "A C++ exception left the plug-in")) << run.output;
#else
    EXPECT_NE(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.exitCode, 1u) << run.output;
    EXPECT_FALSE(Has(run, "A C++ exception left the plug-in")) << run.output;
    EXPECT_FALSE(Has(run, "GetSynchronizationStatus:")) << run.output;
    EXPECT_FALSE(Has(run, "  returned ")) << run.output;
#endif
}

}  // namespace
}  // namespace orvane::test
