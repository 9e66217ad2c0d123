// Registration as an installer does it and enumeration as every application does it: one video
// input device per board, found by the system device enumerator, bound through its moniker; and
// the check program a user runs first. These tests rewrite the prefix's devices: they run alone,
// and leave the default board registered.
#include <gtest/gtest.h>

#include <dshow.h>

#include <fstream>
#include <sstream>

#include "interfaces/BoardLibrary.h"
#include "platform/RegistryKey.h"
#include "platform/UniqueBstr.h"
#include "simboard/SimBoardControl.h"
#include "tests/support/ModulePath.h"
#include "tests/support/ModuleRegistration.h"
#include "tests/support/TestProcessLock.h"
#include "tests/videosource/VideoSourceFixture.h"
#include "tools/common/ComErrorText.h"
#include "videosource/IOrvaneVideoSource.h"
#include "videosource/VideoSourceIds.h"
#include "videosource/check/DeviceCatalog.h"
#include "videosource/check/SubtypeNames.h"

// In the platform's identifier library, but not declared by its headers.
extern "C" const CLSID CLSID_NullRenderer;

namespace {

using namespace orvane::test;
using orvane::ComPtr;
using orvane::dshowcheck::ListVideoDevices;
using orvane::dshowcheck::SubtypeByName;
using orvane::dshowcheck::VideoDevice;
namespace vs = orvane::videosource;

constexpr DWORD kProgramBoundMs = 90000;

struct ProgramRun {
    DWORD exitCode = ~0u;
    std::string output;
};

// Runs a program of the build (or regsvr32) with its output in a file, bounded.
ProgramRun RunProgram(const std::wstring& commandLine)
{
    ProgramRun run;
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    const std::string outputFile = std::string(folder) + "orvane-videosource-run-" + std::to_string(GetCurrentProcessId()) + ".txt";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE output = CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION process{};
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(output);
    if (!started) {
        ADD_FAILURE() << "cannot start " << orvane::host::Narrow(commandLine);
        return run;
    }
    if (WaitForSingleObject(process.hProcess, kProgramBoundMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &run.exitCode);
    } else {
        ADD_FAILURE() << orvane::host::Narrow(commandLine) << " did not end within the bound";
        TerminateProcess(process.hProcess, 3);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::ifstream file(outputFile, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    run.output = text.str();
    file.close();
    DeleteFileA(outputFile.c_str());
    return run;
}

// regsvr32 on the DLL beside the test, in turn with every other test process that registers.
DWORD Regsvr32VideoSource(bool unregister)
{
    const TestProcessLock turn(kRegistrationTurn);
    return RunProgram(std::wstring(L"regsvr32.exe /s ") + (unregister ? L"/u \"" : L"\"") +
                          BesideTestProgram(L"OrvaneVideoSource.dll") + L"\"")
        .exitCode;
}

std::vector<VideoDevice> OrvaneDevices()
{
    std::vector<VideoDevice> all;
    EXPECT_TRUE(SUCCEEDED(ListVideoDevices(all)));
    std::vector<VideoDevice> ours;
    for (VideoDevice& device : all) {
        if (device.IsOrvane()) {
            ours.push_back(std::move(device));
        }
    }
    return ours;
}

class VideoSourceRegistration : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(EnsureModuleRegistration(BesideTestProgram(L"Orvane.dll")), S_OK); }
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(apartment_.Result())); }
    void TearDown() override
    {
        // The prefix keeps one device, for the default board, as a developer would have it.
        EXPECT_EQ(Regsvr32VideoSource(false), 0u);
    }
    orvane::ComApartment apartment_;
};

TEST_F(VideoSourceRegistration, Regsvr32RegistersTheBoardAsADeviceAndUnregisteringRemovesOnlyOurs)
{
    ASSERT_EQ(Regsvr32VideoSource(false), 0u);
    std::vector<VideoDevice> devices = OrvaneDevices();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].friendlyName, L"Orvane HD Grabber (OH72391)");
    EXPECT_EQ(devices[0].serial, L"OH72391");
    EXPECT_EQ(devices[0].devicePath, L"\\\\?\\orvane#videosource#OH72391#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global");

    // Another maker's device in the same category stays where it is.
    ComPtr<IFilterMapper2> mapper;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2, mapper.PutVoid()), S_OK);
    REGFILTER2 other{};
    other.dwVersion = 1;
    other.dwMerit = MERIT_DO_NOT_USE;
    ASSERT_EQ(mapper->RegisterFilter(CLSID_NullRenderer, L"Another camera", nullptr, &CLSID_VideoInputDeviceCategory, L"AnotherCamera", &other),
              S_OK);
    ASSERT_EQ(Regsvr32VideoSource(true), 0u);
    EXPECT_TRUE(OrvaneDevices().empty());
    std::vector<VideoDevice> all;
    ListVideoDevices(all);
    EXPECT_EQ(std::count_if(all.begin(), all.end(), [](const VideoDevice& d) { return d.friendlyName == L"Another camera"; }), 1);
    EXPECT_EQ(mapper->UnregisterFilter(&CLSID_VideoInputDeviceCategory, L"AnotherCamera", CLSID_NullRenderer), S_OK);
}

TEST_F(VideoSourceRegistration, TwoBoardsAreTwoDevicesAndEachMonikerMakesAFilterForItsOwnBoard)
{
    SimBoardDescription boards[2] = {{"Orvane HD Grabber", "OH72391", 1, 5}, {"Orvane HD Grabber", "OH72392", 2, 5}};
    ASSERT_EQ(SimBoard_SetBoards(boards, 2), 0);
    {
        // Registered from this process, whose simulated board has both.
        const TestProcessLock turn(kRegistrationTurn);
        HMODULE library = LoadLibraryW(BesideTestProgram(L"OrvaneVideoSource.dll").c_str());
        using Export = HRESULT(STDAPICALLTYPE*)();
        auto registerServer = reinterpret_cast<Export>(reinterpret_cast<void*>(GetProcAddress(library, "DllRegisterServer")));
        ASSERT_NE(registerServer, nullptr);
        EXPECT_EQ(registerServer(), S_OK);
    }
    const std::vector<VideoDevice> devices = OrvaneDevices();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].friendlyName, L"Orvane HD Grabber (OH72391)");
    EXPECT_EQ(devices[1].friendlyName, L"Orvane HD Grabber (OH72392)");
    EXPECT_NE(devices[0].devicePath, devices[1].devicePath);
    ComPtr<IBaseFilter> second;
    ASSERT_EQ(devices[1].moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, second.PutVoid()), S_OK);
    orvane::UniqueBstr serial;
    ComPtr<vs::IOrvaneVideoSource> source;
    ASSERT_EQ(second->QueryInterface(vs::kIidOrvaneVideoSource, source.PutVoid()), S_OK);
    ASSERT_EQ(source->GetDeviceSerial(serial.Put()), S_OK);
    EXPECT_STREQ(serial.Get(), L"OH72392");
    SimBoard_Reset();
}

// The boards of a run come from ORVANE_SIMBOARDS, so that the registration (another process) and
// the capture (this one) see the same boards; the second device's graph carries the second board's
// frames, whose header names the board that filled them.
TEST_F(VideoSourceRegistration, WithThreeBoardsEachIsADeviceAndTheSecondDeviceDeliversTheSecondBoardsFrames)
{
    constexpr char kBoards[] = "OH72391,OH72392,OH72393";
    constexpr size_t kSerialOffset = 28;  // bytes 28..35 of a frame: the serial of the board that filled it
    struct BoardsOfTheRun {
        explicit BoardsOfTheRun(const char* serials)
        {
            SetEnvironmentVariableA("ORVANE_SIMBOARDS", serials);
            SimBoard_Reset();
        }
        ~BoardsOfTheRun()
        {
            SetEnvironmentVariableA("ORVANE_SIMBOARDS", nullptr);
            SimBoard_Reset();
            RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\OrvaneVideoSource\\OH72392");
        }
    } boards(kBoards);
    ASSERT_EQ(eHD_GetBoardCount(0, kOhdMaxBoards), 3);
    ASSERT_EQ(Regsvr32VideoSource(false), 0u);
    const std::vector<VideoDevice> devices = OrvaneDevices();
    ASSERT_EQ(devices.size(), 3u);
    for (size_t i = 0; i < devices.size(); ++i) {
        const std::wstring serial = L"OH7239" + std::to_wstring(i + 1);
        EXPECT_EQ(devices[i].serial, serial);
        EXPECT_EQ(devices[i].friendlyName, L"Orvane HD Grabber (" + serial + L")");
    }

    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    const std::string profile = std::string(folder) + "orvane-videosource-second-" + std::to_string(GetCurrentProcessId()) + ".chp";
    ASSERT_TRUE(CopyFileA(BesideTestProgramA("profiles\\orvane-640x480-60-vga.chp").c_str(), profile.c_str(), FALSE));
    {
        orvane::RegistryKey key;
        ASSERT_EQ(key.Create(HKEY_CURRENT_USER, vs::DeviceModuleKey(L"OH72392").c_str()), ERROR_SUCCESS);
        const std::wstring path = orvane::host::Widen(profile);
        ASSERT_EQ(RegSetValueExW(key.Get(), L"Board File", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                                 static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }
    SampleLog samples(2, 0);
    {
        orvane::dshowcheck::CheckGraph graph;
        std::string error;
        ASSERT_EQ(graph.Build(*devices[1].moniker.Get(), SubtypeByName("YUY2"), samples, error), S_OK) << error;
        ASSERT_EQ(graph.Run(), S_OK);
        LONG_PTR parameter = 0;
        EXPECT_EQ(graph.Wait(samples.Done(), 20000, parameter), 0) << "two frames within the bound";
        graph.Stop();
    }
    DeleteFileA(profile.c_str());
    const std::vector<BYTE> frame = samples.FirstSample();
    ASSERT_GE(frame.size(), kSerialOffset + 8);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(frame.data()) + kSerialOffset, 8), std::string("OH72392\0", 8));
}

TEST_F(VideoSourceRegistration, TheCheckProgramFindsTheBoardAndRunsItAsAnApplicationDoes)
{
    ASSERT_EQ(Regsvr32VideoSource(false), 0u);
    // The device's values, as a user sets them with orvane-ctl; frames stamped when due (at 60 Hz),
    // so that the verdict does not hang on how busy the machine is.
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    const std::string profile = std::string(folder) + "orvane-videosource-check-" + std::to_string(GetCurrentProcessId()) + ".chp";
    ASSERT_TRUE(CopyFileA(BesideTestProgramA("profiles\\orvane-640x480-60-vga.chp").c_str(), profile.c_str(), FALSE));
    ASSERT_TRUE(WritePrivateProfileStringA("ORVANEHD", "Horizontal Frequency", "31500", profile.c_str()));
    const auto setText = [](const std::wstring& key, const wchar_t* name, const std::wstring& value) {
        orvane::RegistryKey opened;
        return opened.Create(HKEY_CURRENT_USER, key.c_str()) == ERROR_SUCCESS &&
               RegSetValueExW(opened.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    };
    ASSERT_TRUE(setText(vs::DeviceModuleKey(L"OH72391"), L"Board File", orvane::host::Widen(profile)));
    ASSERT_TRUE(setText(vs::DeviceRegistryPath(L"OH72391"), L"TimeSourceDLL", BesideTestProgram(L"ts_frameclock.dll")));
    const std::wstring program = L"\"" + BesideTestProgram(L"orvane-dshow-check.exe") + L"\"";
    const ProgramRun run = RunProgram(program + L" --device OH72391 --format YUY2 --frames 30");
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.output.find("\"Orvane HD Grabber (OH72391)\"  serial OH72391"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("format   : YUY2 640x480, 16 bits, 614400 bytes per frame"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("result   : OK"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("board    : "), std::string::npos) << "the simulated board's own counts";

    EXPECT_EQ(RunProgram(program + L" --device nosuch").exitCode, 2u);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\OrvaneVideoSource\\OH72391");
    DeleteFileA(profile.c_str());
}

}  // namespace
