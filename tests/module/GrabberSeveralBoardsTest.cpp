// Several grabber objects at once, each on its own board: two in this process grabbing 1080p60
// side by side for ten seconds, and one in another process. Each host must see only its own
// board's frames (the simulated board names itself in every frame's header), lose none of them,
// and each object write only its own profile.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "CorvathSdk.h"
#include "Orvane.h"
#include "interfaces/ImageHeader.h"
#include "platform/UniqueBstr.h"
#include "simboard/SimBoardControl.h"
#include "tests/module/ComTestSupport.h"
#include "tests/support/BoundedWait.h"
#include "tests/support/ModulePath.h"
#include "tests/support/PeerProcess.h"
#include "tests/support/ScratchRegistryKey.h"

namespace {

using namespace orvane::test;
using orvane::ComPtr;

constexpr SHORT kImages = 16;  // a quarter of a second of 1080p60 for the host's threads to fall behind
constexpr DWORD kGrabMs = 10000;

// One host of one object: its registry path and profile, the object, and its grab and read threads,
// which check every frame's header against the board the object was given.
class HostSession {
public:
    HostSession(const std::string& serial, WORD boardIndex) : serial_(serial), boardIndex_(boardIndex)
    {
        char folder[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, folder);
        profile_ = std::string(folder) + "orvane-boards-" + std::to_string(GetCurrentProcessId()) + "-" + serial + ".chp";
        EXPECT_TRUE(CopyFileA(BesideTestProgramA("profiles\\orvane-1920x1080-60-dvi.chp").c_str(), profile_.c_str(), FALSE));
        const std::string key = registry_.Path() + "Orvane";
        EXPECT_TRUE(ScratchRegistryKey::SetString(key, "Board File", profile_));
        EXPECT_TRUE(ScratchRegistryKey::SetString(key, "Board Serial", serial));
        EXPECT_TRUE(ScratchRegistryKey::SetDword(key, "Unattended", 1));  // the white balance keeps its result
    }
    ~HostSession()
    {
        StopThreads();
        grabber_.Reset();
        DeleteFileA(profile_.c_str());
    }
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    HRESULT Initialize()
    {
        HRESULT result = CoCreateInstance(CLSID_CorvathOrvane, nullptr, CLSCTX_INPROC_SERVER, IID_ICorvathGenericGrabber,
                                          grabber_.PutVoid());
        if (SUCCEEDED(result)) {
            const orvane::UniqueBstr path(SysAllocString(registry_.WidePath().c_str()));
            result = grabber_->InitializeGrabber(path.Get());
        }
        return result;
    }

    ICorvathGenericGrabber* Grabber() const { return grabber_.Get(); }
    const std::string& RegistryPath() const { return registry_.Path(); }
    const std::string& Profile() const { return profile_; }
    std::string ReadProfile(const std::string& section, const char* key) const
    {
        char value[64] = {};
        GetPrivateProfileStringA(section.c_str(), key, "<missing>", value, sizeof value, profile_.c_str());
        return value;
    }

    // Queues every image for the board, then keeps queueing and reading until told to stop.
    void StartThreads()
    {
        ICorvathGenericGrabber* host = grabber_.Get();
        grabThread_ = std::make_unique<BoundedThread>([this, host] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            while (!stop_) {
                if (SUCCEEDED(host->GrabNext())) {
                    ++queued_;
                }
            }
            CoUninitialize();
        });
        readThread_ = std::make_unique<BoundedThread>([this, host] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            char wanted[8] = {};
            std::memcpy(wanted, serial_.data(), std::min(serial_.size(), sizeof wanted));
            std::uint32_t last = 0;
            while (!stop_) {
                ULONG_PTR address = 0;
                host->GetCurrent(&address);
                const auto* header = reinterpret_cast<const ImageHeader*>(address);
                if (header == nullptr || header->pixels == nullptr) {
                    continue;
                }
                const auto* pixels = static_cast<const BYTE*>(header->pixels);
                std::uint32_t number = 0;
                WORD index = 0;
                std::memcpy(&number, pixels + 4, sizeof number);
                std::memcpy(&index, pixels + 24, sizeof index);
                if (index != boardIndex_ || std::memcmp(pixels + 28, wanted, sizeof wanted) != 0) {
                    ++foreign_;
                }
                if (frames_ > 0 && number <= last) {
                    ++disorder_;
                }
                last = number;
                ++frames_;
                host->ReleaseCurrent();
            }
            CoUninitialize();
        });
    }

    void StopThreads()
    {
        stop_ = true;
        const auto wake = [this] {
            grabber_->SignalGrabEvent();
            grabber_->SignalReadEvent();
        };
        if (grabThread_) {
            EXPECT_TRUE(grabThread_->JoinNudging(10000, wake)) << serial_ << ": grab thread stuck";
        }
        if (readThread_) {
            EXPECT_TRUE(readThread_->JoinNudging(10000, wake)) << serial_ << ": read thread stuck";
        }
        grabThread_.reset();
        readThread_.reset();
    }

    long long BoardCounter(const char* name) const { return SimBoard_GetBoardCounter(boardIndex_, name); }

    const std::string serial_;
    const WORD boardIndex_;
    std::atomic<int> queued_{0};
    std::atomic<int> frames_{0};
    std::atomic<int> foreign_{0};
    std::atomic<int> disorder_{0};

private:
    ScratchRegistryKey registry_;
    std::string profile_;
    ComPtr<ICorvathGenericGrabber> grabber_;
    std::atomic<bool> stop_{false};
    std::unique_ptr<BoundedThread> grabThread_;
    std::unique_ptr<BoundedThread> readThread_;
};

class GrabberSeveralBoards : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(apartment_.Result()));
        EnsureModuleRegistered();
        ASSERT_EQ(SimBoard_Reset(), 0);
    }
    void TearDown() override { SimBoard_Reset(); }

    ComApartment apartment_;
};

TEST_F(GrabberSeveralBoards, TwoObjectsOnTwoBoardsGrab1080p60SideBySideWithoutCrossing)
{
    const SimBoardDescription boards[] = {{"Orvane HD Grabber", "OH72391", 1, 5},
                                          {"Orvane HD Grabber", "OH72392", 2, 5},
                                          {"Orvane HD Grabber", "OH72393", 3, 5}};
    ASSERT_EQ(SimBoard_SetBoards(boards, 3), 0);
    HostSession a("OH72392", 2);
    HostSession b("OH72393", 3);
    ASSERT_EQ(a.Initialize(), S_OK);
    ASSERT_EQ(b.Initialize(), S_OK);
    EXPECT_EQ(SimBoard_GetBoardCounter(1, "calls.eHD_OpenBoard"), 0) << "the first board stays untouched";

    // Each object writes its own profile: an adjustment and the white balance's calibration.
    auto adjust = [](HostSession& host, LONG value) {
        ComPtr<ICorvathAdjustment> adjustment;
        ASSERT_EQ(host.Grabber()->QueryInterface(IID_ICorvathAdjustment, adjustment.PutVoid()), S_OK);
        EXPECT_EQ(adjustment->SetLongValue(3, value), S_OK);  // Horizontal Back Sync
        ComPtr<ICorvathGenericButtonClickProp> button;
        ASSERT_EQ(host.Grabber()->QueryInterface(IID_ICorvathGenericButtonClickProp, button.PutVoid()), S_OK);
        EXPECT_EQ(button->ButtonClicked(0), S_OK);
    };
    adjust(a, 200);
    adjust(b, 250);
    EXPECT_EQ(a.ReadProfile("ORVANEHD", "Horizontal Back Sync"), "200");
    EXPECT_EQ(b.ReadProfile("ORVANEHD", "Horizontal Back Sync"), "250");
    EXPECT_NE(a.ReadProfile("O-RGB Calibration OH72392", "RED_GAIN_CALIB"), "<missing>");
    EXPECT_EQ(a.ReadProfile("O-RGB Calibration OH72393", "RED_GAIN_CALIB"), "<missing>");
    EXPECT_NE(b.ReadProfile("O-RGB Calibration OH72393", "RED_GAIN_CALIB"), "<missing>");
    EXPECT_EQ(b.ReadProfile("O-RGB Calibration OH72392", "RED_GAIN_CALIB"), "<missing>");

    // Both boards held back until every image is queued, so the board fills none the host is not
    // waiting for; then both run at once.
    for (HostSession* host : {&a, &b}) {
        ASSERT_EQ(host->Grabber()->AllocateBuffers(kImages), S_OK);
        ASSERT_EQ(SimBoard_PauseBoardProducer(host->boardIndex_, 1), 0);
    }
    ASSERT_EQ(a.Grabber()->EnableGrab(), S_OK);
    ASSERT_EQ(b.Grabber()->EnableGrab(), S_OK);
    for (HostSession* host : {&a, &b}) {
        host->StartThreads();
        ASSERT_TRUE(WaitUntil(10000, [&] { return host->queued_ >= kImages; })) << host->serial_;
    }
    ASSERT_EQ(SimBoard_PauseBoardProducer(2, 0), 0);
    ASSERT_EQ(SimBoard_PauseBoardProducer(3, 0), 0);
    Sleep(kGrabMs);

    // Held back again: once every frame the boards filled has been read, nothing is in flight.
    for (HostSession* host : {&a, &b}) {
        ASSERT_EQ(SimBoard_PauseBoardProducer(host->boardIndex_, 1), 0);
    }
    for (HostSession* host : {&a, &b}) {
        EXPECT_TRUE(WaitUntil(10000, [&] { return host->frames_ >= host->BoardCounter("framesProduced"); }))
            << host->serial_ << ": " << host->frames_ << " of " << host->BoardCounter("framesProduced") << " read";
        host->StopThreads();
        EXPECT_EQ(host->Grabber()->DisableGrab(), S_OK);
    }

    for (HostSession* host : {&a, &b}) {
        SCOPED_TRACE(host->serial_);
        EXPECT_EQ(host->foreign_, 0) << "frames of the other board";
        EXPECT_EQ(host->disorder_, 0) << "frames out of order or twice";
        EXPECT_EQ(host->frames_, host->BoardCounter("framesProduced")) << "every filled frame reached the host";
        EXPECT_EQ(host->BoardCounter("framesDelivered"), host->BoardCounter("framesProduced"));
        EXPECT_GT(host->frames_, 60);
        std::printf("%s: %d frames of 1920x1080 in %lu ms; board dropped %lld for lack of a buffer, skipped %lld ticks\n",
                    host->serial_.c_str(), host->frames_.load(), static_cast<unsigned long>(kGrabMs),
                    host->BoardCounter("framesDroppedNoBlock"), host->BoardCounter("ticksSkipped"));
    }
}

TEST_F(GrabberSeveralBoards, TwoProcessesEachGrabFromTheirOwnBoardOfTheRun)
{
    // Boards of the run, named after this process so that no other test process takes them.
    char first[16];
    char second[16];
    std::snprintf(first, sizeof first, "P%07lX", GetCurrentProcessId() & 0xFFFFFFFul);
    std::snprintf(second, sizeof second, "Q%07lX", GetCurrentProcessId() & 0xFFFFFFFul);
    const std::string run = std::string(first) + "," + second;
    ASSERT_TRUE(SetEnvironmentVariableA("ORVANE_SIMBOARDS", run.c_str()));
    struct Unset {
        ~Unset()
        {
            SetEnvironmentVariableA("ORVANE_SIMBOARDS", nullptr);
            SimBoard_Reset();
        }
    } unset;
    ASSERT_EQ(SimBoard_Reset(), 0);

    HostSession here(first, 1);
    ASSERT_EQ(here.Initialize(), S_OK);
    ASSERT_EQ(here.Grabber()->AllocateBuffers(8), S_OK);
    ASSERT_EQ(here.Grabber()->EnableGrab(), S_OK);
    here.StartThreads();

    // The other process, on the second board, under registry values prepared here.
    HostSession there(second, 2);
    PeerProcess peer("grabber_peer.exe", "\"" + there.RegistryPath() + "\" " + second);
    EXPECT_EQ(peer.ReadLine(60000), std::optional<std::string>("initialized 0x00000000"));
    EXPECT_EQ(peer.ReadLine(60000), std::optional<std::string>("grabbing"));

    // While it has the second board, this process can neither reset nor open it.
    HostSession intruder(second, 2);
    EXPECT_EQ(intruder.Initialize(), static_cast<HRESULT>(0x80020009));
    EXPECT_EQ(SimBoard_GetBoardCounter(2, "hardResets"), 0);

    peer.Go();
    const auto summary = peer.ReadLine(60000);
    ASSERT_TRUE(summary.has_value());
    int frames = -1;
    int foreign = -1;
    int disorder = -1;
    ASSERT_EQ(std::sscanf(summary->c_str(), "frames %d foreign %d disorder %d", &frames, &foreign, &disorder), 3)
        << *summary;
    peer.Quit();
    EXPECT_EQ(peer.WaitExit(60000), std::optional<DWORD>(0));
    EXPECT_GE(frames, 60);
    EXPECT_EQ(foreign, 0) << "the other process saw frames of this process's board";
    EXPECT_EQ(disorder, 0);

    here.StopThreads();
    EXPECT_EQ(here.Grabber()->DisableGrab(), S_OK);
    EXPECT_GT(here.frames_, 0);
    EXPECT_EQ(here.foreign_, 0) << "this process saw frames of the other process's board";
    EXPECT_EQ(here.disorder_, 0);
}

}  // namespace
