// Grabbing at the card: the stream started and stopped, frames flowing through the lists with the
// host's threads, what a stop leaves behind, a silent or absent signal, and resizing.
#include "tests/card/CardFixture.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/MessageException.h"
#include "buffers/OrvaneImage.h"
#include "tests/support/BoundedWait.h"
#include "tests/support/WaiterHandshake.h"

namespace orvane::test {
namespace {

class CardGrab : public CardTest {
protected:
    void SetUp() override
    {
        CardTest::SetUp();
        RememberSample("orvane-640x480-60-vga.chp");
        card_ = OpenCard();
        ASSERT_NE(card_, nullptr);
        ASSERT_EQ(SimBoard_SetFrameRate(500.0), 0);
        listener_.Clear();
    }
    void TearDown() override
    {
        card_.reset();
        CardTest::TearDown();
    }

    // Host threads: one queues free images, one reads and releases ready ones, until `frames`
    // were read. Returns the frames read.
    int RunHostThreads(int frames)
    {
        std::atomic<bool> stop{false};
        std::atomic<int> read{0};
        BoundedThread grabber([&] {
            while (!stop) {
                card_->GrabNext();
            }
        });
        BoundedThread reader([&] {
            int32_t lastSeconds = 0;
            while (read < frames) {
                bool waited = false;
                ImageHeader* header = card_->GetCurrent(waited);
                if (header == nullptr) {
                    continue;
                }
                EXPECT_NE(header->pixels, nullptr);
                EXPECT_GE(header->seconds, lastSeconds);
                lastSeconds = header->seconds;
                card_->ReleaseCurrent();
                ++read;
            }
        });
        const bool done = reader.Join(20000);
        stop = true;
        EXPECT_TRUE(grabber.JoinNudging(5000, [&] { card_->SignalGrabEvent(); }));
        EXPECT_TRUE(done) << "the reader got " << read << " of " << frames << " frames";
        if (!done) {
            reader.JoinNudging(5000, [&] { card_->SignalReadEvent(); });
        }
        return read;
    }

    std::unique_ptr<COrvaneCard> card_;
};

TEST_F(CardGrab, AFullCycleDeliversFramesAndAStopLeavesEveryImageReadableOrFree)
{
    card_->AllocateBuffers(6);
    ASSERT_NE(card_->EnableGrab(), nullptr);
    EXPECT_EQ(card_->TotalBufferCount(), 6);
    EXPECT_EQ(RunHostThreads(200), 200);
    card_->DisableGrab();
    EXPECT_EQ(card_->GrabListSize(), 0);
    EXPECT_EQ(card_->ReadyListSize() + card_->FreeListSize(), 6);
    EXPECT_EQ(SimBoard_GetCounter("producerThreads"), 0);
    EXPECT_EQ(SimBoard_GetCounter("streamsOpen"), 0);
    EXPECT_TRUE(listener_.Contains("Thread is running"));
    EXPECT_TRUE(listener_.Contains("Thread is dying..."));
    EXPECT_EQ(listener_.Count("ReleaseCurrent() - eHD_ReleaseStreamBuffer ERROR"), 0) << listener_.Dump();
}

// The host gets its answer within half a second, but a capture thread still inside a slow board
// call then must not be left to run on into a destroyed card.
TEST_F(CardGrab, ACaptureThreadStillBusyAfterTheStopIsJoinedBeforeTheCardGoes)
{
    card_->AllocateBuffers(3);
    ASSERT_EQ(SimBoard_DelayNext("eHD_GetStreamBuffer", 1500), 0);
    HANDLE started = card_->EnableGrab();
    ASSERT_NE(started, nullptr);
    HANDLE capture = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), started, GetCurrentProcess(), &capture, SYNCHRONIZE, FALSE, 0));
    card_->GrabNext();
    ASSERT_TRUE(WaitUntil(10000, [] { return SimBoard_GetCounter("callsDelayed") == 1; }));

    card_->DisableGrab();
    EXPECT_TRUE(listener_.Contains("DisableGrab : the capture thread is still ending"));
    EXPECT_EQ(WaitForSingleObject(capture, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "still inside the slow call";
    card_.reset();
    EXPECT_EQ(WaitForSingleObject(capture, 0), WAIT_OBJECT_0) << "ended before the card was gone";
    CloseHandle(capture);
}

// At the stop, images queued but never filled are no frames: they go back to the free list. What
// the board did fill but the capture thread had not taken yet is collected into the ready list.
TEST_F(CardGrab, AtTheStopFilledBuffersAreCollectedAndUnfilledImagesGoBackToTheFreeList)
{
    card_->AllocateBuffers(4);
    ASSERT_EQ(SimBoard_PauseProducer(1), 0);
    ASSERT_NE(card_->EnableGrab(), nullptr);
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(card_->GrabNext());
    }
    EXPECT_EQ(card_->GrabListSize(), 3);
    card_->DisableGrab();
    EXPECT_EQ(card_->GrabListSize(), 0);
    EXPECT_EQ(card_->ReadyListSize(), 0);
    EXPECT_EQ(card_->FreeListSize(), 4);

    // The capture thread is held up in a slow board call while the board fills all four blocks.
    ASSERT_EQ(SimBoard_PauseProducer(0), 0);
    ASSERT_EQ(SimBoard_DelayNext("eHD_GetStreamBuffer", 1500), 0);
    ASSERT_NE(card_->EnableGrab(), nullptr);
    ASSERT_TRUE(WaitUntil(10000, [] {
        return SimBoard_GetCounter("callsDelayed") == 1 && SimBoard_GetCounter("framesProduced") == 4;
    }));
    card_->DisableGrab();
    EXPECT_EQ(card_->ReadyListSize(), 4) << "every frame the board filled is readable";
    std::int64_t last = -1;
    for (int i = 0; i < 4; ++i) {
        bool waited = true;
        ImageHeader* header = card_->GetCurrent(waited);
        ASSERT_NE(header, nullptr);
        EXPECT_FALSE(waited);
        std::uint32_t number = 0;
        std::memcpy(&number, static_cast<const char*>(header->pixels) + 4, sizeof number);
        EXPECT_GT(static_cast<std::int64_t>(number), last) << "in the order the board filled them";
        last = number;
        card_->ReleaseCurrent();
    }
    EXPECT_EQ(card_->FrameCounts().Captured(), 4);
    EXPECT_FALSE(listener_.Contains("ReleaseCurrent() - eHD_ReleaseStreamBuffer ERROR")) << listener_.Dump();
}

TEST_F(CardGrab, MaxReadyCountStartsAgainAtEveryEnable)
{
    card_->AllocateBuffers(4);
    ASSERT_NE(card_->EnableGrab(), nullptr);
    for (int i = 0; i < 4; ++i) {
        card_->GrabNext();
    }
    ASSERT_TRUE(WaitUntil(5000, [&] { return card_->ReadyListSize() == 4; }));
    EXPECT_EQ(card_->MaxReadyCount(), 4);
    card_->DisableGrab();
    ASSERT_NE(card_->EnableGrab(), nullptr);
    EXPECT_EQ(card_->MaxReadyCount(), 0);
    card_->DisableGrab();
}

TEST_F(CardGrab, ASilentBoardIsLoggedAndTheThreadStillEndsWithTheStop)
{
    card_->AllocateBuffers(2);
    ASSERT_EQ(SimBoard_PauseProducer(1), 0);
    ASSERT_NE(card_->EnableGrab(), nullptr);
    EXPECT_TRUE(listener_.WaitFor("Capture thread error", 5000));
    card_->DisableGrab();
    EXPECT_TRUE(listener_.WaitFor("Thread is dying...", 1000)) << listener_.Dump();
}

TEST_F(CardGrab, NoSignalShowsTheMessageBoxFailsAndASecondEnableStartsOver)
{
    card_->AllocateBuffers(3);
    ASSERT_EQ(SimBoard_SetSignal(0), 0);
    DialogAnswerer answerer({DialogAnswer::Press("Orvane", IDOK)});
    std::string raised;
    try {
        card_->EnableGrab();
    } catch (MessageException message) {
        raised = message;
    }
    ASSERT_TRUE(answerer.Finish());
    EXPECT_EQ(raised, "Something is wrong with the video signal, or no video is connected.");
    const auto seen = answerer.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_NE(seen[0].text.find("Something is wrong with the video signal, or no video is connected."),
              std::string::npos);
    EXPECT_TRUE(listener_.Contains("NO VIDEO SIGNAL"));
    EXPECT_FALSE(listener_.Contains("Thread is running"));

    ASSERT_EQ(SimBoard_SetSignal(1), 0);
    ASSERT_NE(card_->EnableGrab(), nullptr);
    EXPECT_EQ(RunHostThreads(20), 20);
    card_->DisableGrab();
}

// The board holds every buffer the host is not reading, queued or not. One it fills before the host
// queued its image is a frame all the same: it is delivered, in the order the board filled it.
TEST_F(CardGrab, FramesFilledBeforeTheHostQueuesTheirImagesAreDeliveredInOrder)
{
    card_->AllocateBuffers(4);
    ASSERT_NE(card_->EnableGrab(), nullptr);
    ASSERT_TRUE(WaitUntil(5000, [&] { return card_->ReadyListSize() == 4; }));
    EXPECT_EQ(card_->FreeListSize(), 0);

    // Queue only now and then: every frame still arrives, none twice, none out of order.
    RunBounded(20000, "reading 40 frames", [&] {
        std::int64_t last = -1;
        for (int i = 0; i < 40; ++i) {
            bool waited = false;
            ImageHeader* header = card_->GetCurrent(waited);
            ASSERT_NE(header, nullptr);
            std::uint32_t number = 0;
            std::memcpy(&number, static_cast<const char*>(header->pixels) + 4, sizeof number);
            EXPECT_GT(static_cast<std::int64_t>(number), last);
            last = number;
            card_->ReleaseCurrent();
            if (i % 3 == 0) {
                card_->GrabNext();
            }
        }
    });
    card_->DisableGrab();
    EXPECT_EQ(card_->FrameCounts().Lost(FrameLoss::NoImage), 0);
    EXPECT_EQ(listener_.Count("ReleaseCurrent() - eHD_ReleaseStreamBuffer ERROR"), 0) << listener_.Dump();
}

// A stream the board will not open or start fails EnableGrab with the board's own reason, instead
// of an answer of success and no frame ever; grabbing can start once the cause is gone.
TEST_F(CardGrab, AStreamTheBoardRefusesFailsEnableGrabWithItsReason)
{
    card_->AllocateBuffers(3);
    const struct {
        const char* what;
        std::function<void()> arrange;
        const char* raised;
    } cases[] = {
        {"a format type the board cannot stream", [&] { card_->SetImageFormatType(42); },
         "EnableGrab : the board cannot open the stream: Unknown image format type (0 to 9)"},
        {"a producer that cannot start", [&] { SimBoard_FailNext("eHD_LiveStreamMode", 0x020D, 1); },
         "EnableGrab : the board cannot start the stream: The stream's frame producer could not be started"},
    };
    for (const auto& c : cases) {
        c.arrange();
        EXPECT_EQ(MessageRaisedBy([&] { card_->EnableGrab(); }), c.raised) << c.what;
        EXPECT_FALSE(card_->Grabbing()) << c.what;
        EXPECT_EQ(SimBoard_GetCounter("streamsOpen"), 0) << c.what;
        card_->SetImageFormatType(6);
        ASSERT_NE(card_->EnableGrab(), nullptr) << c.what;
        EXPECT_EQ(RunHostThreads(10), 10) << c.what;
        card_->DisableGrab();
    }
    // With no images there is nothing to grab into.
    card_->FreeBuffers();
    EXPECT_EQ(MessageRaisedBy([&] { card_->EnableGrab(); }),
              "EnableGrab : no buffers to grab into; call AllocateBuffers first.");
}

TEST_F(CardGrab, SetRoiClampsToTheTimingAndBuffersFollow)
{
    card_->AllocateBuffers(2);
    EXPECT_TRUE(card_->SetROI(638, 400, 10, 0));
    EXPECT_EQ(card_->ImageSizeX(), 640);
    EXPECT_EQ(card_->ImageSizeY(), 400);
    EXPECT_EQ(profiles_.back().Read("ORVANEHD", "Image Width"), "640");
    EXPECT_EQ(profiles_.back().Read("ORVANEHD", "Image Height"), "400");
    EXPECT_EQ(card_->GetBufferCount(), 2);

    EXPECT_TRUE(card_->SetROI(2, 0, 0, 0));
    EXPECT_EQ(card_->ImageSizeX(), 4);
    EXPECT_EQ(card_->ImageSizeY(), 1);
    MEMORY_BASIC_INFORMATION info{};
    ASSERT_NE(VirtualQuery(card_->PixelBuffers()[0], &info, sizeof info), 0u);
    EXPECT_LT(info.RegionSize, 640u * 400u * 4u);
}

TEST_F(CardGrab, SetRoiTakesTheOffsetIntoAccount)
{
    // Horizontal total minus back sync: 1280 pixels at most.
    auto profile = ScratchProfile::FromText(
        "[ORVANEHD]\r\nCable Type=DVI to DVI\r\nHorizontal Total=1640\r\nHorizontal Frequency=63981\r\n"
        "Horizontal Back Sync=360\r\nVertical Total=1066\r\nVertical Back Porch=41.0\r\n"
        "Image Width=1280\r\nImage Height=1024\r\n[O-RGB]\r\nPixelMode=RGB\r\n");
    card_->LoadConfigFile(profile.Path().c_str());
    ASSERT_EQ(card_->ImageSizeX(), 1280);
    EXPECT_TRUE(card_->SetROI(1280, 1024, 100, 0));
    EXPECT_EQ(card_->ImageSizeX(), 1180);
    EXPECT_EQ(card_->ImageSizeY(), 1024);
}

TEST_F(CardGrab, ASizeTheBoardRefusesIsTakenBackInTheFileAndTheCard)
{
    card_->AllocateBuffers(2);
    ASSERT_EQ(SimBoard_FailNext("eHD_ReadConfigFile", 0x0214, 1), 0);
    EXPECT_FALSE(card_->SetROI(320, 240, 0, 0));
    EXPECT_TRUE(listener_.Contains("SetROI() : Cannot configure the board with these values"));
    EXPECT_FALSE(listener_.Contains("SetROI : Error unexpected"));
    EXPECT_EQ(card_->ImageSizeX(), 640);
    EXPECT_EQ(card_->ImageSizeY(), 480);
    EXPECT_EQ(profiles_.back().Read("ORVANEHD", "Image Width"), "640");
    EXPECT_EQ(profiles_.back().Read("ORVANEHD", "Image Height"), "480");
    EXPECT_EQ(card_->GetBufferCount(), 2);
}

// The frame event is named after the wall clock to the millisecond; another card (here or in
// another process) starting in the same millisecond must not end up with the same kernel event.
TEST_F(CardGrab, AFrameEventNameAlreadyTakenIsNotShared)
{
    card_->AllocateBuffers(2);
    ASSERT_EQ(SimBoard_PauseProducer(1), 0);
    std::set<std::string> taken;
    std::vector<HANDLE> events;
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const ULONGLONG unixMs = ((static_cast<ULONGLONG>(now.dwHighDateTime) << 32 | now.dwLowDateTime) - 116444736000000000ull) / 10000ull;
    for (ULONGLONG ms = unixMs; ms < unixMs + 20; ++ms) {
        char name[64];
        std::snprintf(name, sizeof name, "ORVANE_VIDEOFRAMECAPTURED(%u:%hu)", static_cast<unsigned>(ms / 1000),
                      static_cast<unsigned short>(ms % 1000));
        taken.insert(name);
        events.push_back(CreateEventA(nullptr, FALSE, FALSE, name));
    }
    card_->EnableGrab();
    const std::string chosen = KernelObjectName(card_->CurrentStreamParameters().frameEvent);
    EXPECT_EQ(chosen.rfind("ORVANE_VIDEOFRAMECAPTURED(", 0), 0u) << chosen;
    EXPECT_EQ(taken.count(chosen), 0u) << chosen << " is another card's";
    card_->DisableGrab();
    for (HANDLE event : events) {
        CloseHandle(event);
    }
}

}  // namespace
}  // namespace orvane::test
