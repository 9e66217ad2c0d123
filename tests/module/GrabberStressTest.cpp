// The whole grab cycle through the host interface under load: the simulated board at its fastest,
// a grab thread and a read thread blocking in GrabNext and GetCurrent, and a control thread
// throwing in the signal calls, ReleaseAll and stops and restarts, for 100,000 frames. No image
// may be lost and no thread may stay stuck.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "CorvathSdk.h"
#include "Orvane.h"
#include "platform/UniqueBstr.h"
#include "simboard/SimBoardControl.h"
#include "tests/module/ComTestSupport.h"
#include "tests/support/BoundedWait.h"
#include "tests/support/ModulePath.h"
#include "tests/support/ScratchRegistryKey.h"

namespace {

using namespace orvane::test;
using orvane::ComPtr;

constexpr SHORT kImages = 8;
constexpr int kFrames = 100000;

TEST(GrabberStress, HostThreadsDoingEverythingTheInterfaceAllowsLoseNoImage)
{
    ComApartment apartment;
    ASSERT_TRUE(SUCCEEDED(apartment.Result()));
    EnsureModuleRegistered();
    ASSERT_EQ(SimBoard_Reset(), 0);
    ScratchRegistryKey registry;

    // A small image keeps the board's pixel writing from dominating the run.
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    const std::string profile = std::string(folder) + "orvane-stress-" + std::to_string(GetCurrentProcessId()) + ".chp";
    ASSERT_TRUE(CopyFileA(BesideTestProgramA("profiles\\orvane-640x480-60-vga.chp").c_str(), profile.c_str(), FALSE));
    WritePrivateProfileStringA("ORVANEHD", "Image Width", "64", profile.c_str());
    WritePrivateProfileStringA("ORVANEHD", "Image Height", "48", profile.c_str());
    ASSERT_TRUE(ScratchRegistryKey::SetString(registry.Path() + "Orvane", "Board File", profile));

    ComPtr<ICorvathGenericGrabber> grabber;
    ASSERT_EQ(CoCreateInstance(CLSID_CorvathOrvane, nullptr, CLSCTX_INPROC_SERVER, IID_ICorvathGenericGrabber,
                               grabber.PutVoid()),
              S_OK);
    const orvane::UniqueBstr path(SysAllocString(registry.WidePath().c_str()));
    ASSERT_EQ(grabber->InitializeGrabber(path.Get()), S_OK);
    ASSERT_EQ(grabber->AllocateBuffers(kImages), S_OK);
    ASSERT_EQ(SimBoard_SetFrameRate(SIMBOARD_RATE_UNLIMITED), 0);
    ASSERT_EQ(grabber->EnableGrab(), S_OK);

    std::atomic<bool> stop{false};
    std::atomic<int> read{0};
    std::atomic<int> deleted{0};
    std::atomic<int> overruns{0};
    std::atomic<int> restarts{0};
    ICorvathGenericGrabber* host = grabber.Get();

    BoundedThread grabThread([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        while (!stop) {
            if (host->GrabNext() == S_FALSE) {
                ++overruns;
            }
        }
        CoUninitialize();
    });
    BoundedThread readThread([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        while (!stop) {
            ULONG_PTR header = 0;
            host->GetCurrent(&header);
            if (header == 0) {
                continue;
            }
            const int n = ++read;
            if (n % 30000 == 0) {
                host->DeleteCurrent();
                ++deleted;
            } else {
                host->ReleaseCurrent();
            }
        }
        CoUninitialize();
    });
    BoundedThread controlThread([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        for (int tick = 1; !stop; ++tick) {
            Sleep(5);
            host->SignalGrabEvent();
            host->SignalReadEvent();
            if (tick % 3 == 0) {
                host->ReleaseAll();
            }
            if (tick % 500 == 0) {
                host->DisableGrab();
                host->EnableGrab();
                ++restarts;
            }
        }
        CoUninitialize();
    });

    const bool finished = WaitUntil(180000, [&] { return read >= kFrames; });
    stop = true;
    const auto wake = [&] {
        host->SignalGrabEvent();
        host->SignalReadEvent();
    };
    ASSERT_TRUE(controlThread.JoinNudging(10000, wake)) << "control thread stuck";
    ASSERT_TRUE(grabThread.JoinNudging(10000, wake)) << "grab thread stuck";
    ASSERT_TRUE(readThread.JoinNudging(10000, wake)) << "read thread stuck";
    ASSERT_EQ(grabber->DisableGrab(), S_OK);
    EXPECT_TRUE(finished) << "only " << read << " frames in the time allowed";

    // After the stop nothing is queued for the board: every image not deleted is ready or free.
    SHORT count = 0;
    ASSERT_EQ(grabber->GetBufferCount(&count), S_OK);
    EXPECT_EQ(count + deleted, kImages);
    EXPECT_EQ(SimBoard_GetCounter("producerThreads"), 0);
    EXPECT_EQ(SimBoard_GetCounter("streamsOpen"), 0);
    std::printf("COM stress: %d frames read, %d deleted, %d stop/start cycles, %d GrabNext overruns; board produced "
                "%lld, dropped for lack of a buffer %lld\n",
                read.load(), deleted.load(), restarts.load(), overruns.load(), SimBoard_GetCounter("framesProduced"),
                SimBoard_GetCounter("framesDroppedNoBlock"));

    grabber.Reset();
    SimBoard_Reset();
    DeleteFileA(profile.c_str());
}

}  // namespace
