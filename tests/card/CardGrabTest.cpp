// Grabbing at the card: the stream started and stopped, frames flowing through the lists with the
// host's threads, what a stop leaves behind, a silent or absent signal, and resizing.
#include "tests/card/CardFixture.h"

#include <atomic>
#include <cstdio>
#include <set>
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

TEST_F(CardGrab, QueuedButUnfilledImagesAreStampedIntoTheReadyListAtTheStop)
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
    EXPECT_EQ(card_->ReadyListSize(), 3);
    EXPECT_EQ(card_->FreeListSize(), 1);
    bool waited = true;
    ImageHeader* header = card_->GetCurrent(waited);
    ASSERT_NE(header, nullptr);
    EXPECT_FALSE(waited);
    EXPECT_GT(header->seconds, 1500000000);
    // Never filled, so there is nothing to give back to the (closed) stream.
    listener_.Clear();
    card_->ReleaseCurrent();
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

// A board that fills a buffer no queued image waits for gets it straight back: it must never run
// out of buffers because the host queued fewer images than the board holds.
TEST_F(CardGrab, FilledBuffersNobodyWaitsForGoBackToTheBoard)
{
    card_->AllocateBuffers(4);
    ASSERT_NE(card_->EnableGrab(), nullptr);
    ASSERT_TRUE(WaitUntil(5000, [] { return SimBoard_GetCounter("framesDelivered") >= 20; }));
    EXPECT_EQ(card_->ReadyListSize(), 0);
    EXPECT_GE(SimBoard_GetCounter("blocksHeldByBoard") + SimBoard_GetCounter("blocksReady"), 3);

    // Queue only two of the four images: the other two blocks keep being filled and returned,
    // and only frames that really landed in a queued image reach the ready list.
    card_->GrabNext();
    card_->GrabNext();
    for (int i = 0; i < 30; ++i) {
        bool waited = false;
        ImageHeader* header = card_->GetCurrent(waited);
        ASSERT_NE(header, nullptr);
        LONGLONG filled = 0;
        EXPECT_EQ(SimBoard_GetFillTime(header->pixels, &filled), 0);
        card_->ReleaseCurrent();
        card_->GrabNext();
    }
    card_->DisableGrab();
    EXPECT_EQ(listener_.Count("ReleaseCurrent() - eHD_ReleaseStreamBuffer ERROR"), 0) << listener_.Dump();
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
