// The whole frame path under load: the simulated board at its fastest, the capture thread, and
// host threads doing everything the card allows at once, for 100,000 frames. At the end every
// image is accounted for, nothing deadlocked, and the frame path allocated nothing.
#include "tests/card/CardFixture.h"

#include <atomic>
#include <cstdio>
#include <set>

#include "buffers/OrvaneImage.h"
#include "tests/buffers/AllocationCounter.h"
#include "tests/support/BoundedWait.h"

namespace orvane::test {
namespace {

constexpr int kImages = 8;
constexpr int kFrames = 100000;

class CardStress : public CardTest {
protected:
    void SetUp() override
    {
        CardTest::SetUp();
        RememberSample("orvane-640x480-60-vga.chp");
        card_ = OpenCard();
        ASSERT_NE(card_, nullptr);
        // Small frames keep the board's pixel writing from dominating the run.
        ASSERT_TRUE(card_->SetROI(64, 48, 0, 0));
        ASSERT_EQ(SimBoard_SetFrameRate(SIMBOARD_RATE_UNLIMITED), 0);
        card_->AllocateBuffers(kImages);
    }
    void TearDown() override
    {
        card_.reset();
        CardTest::TearDown();
    }
    std::unique_ptr<COrvaneCard> card_;
};

TEST_F(CardStress, HostThreadsDoingEverythingAtOnceLoseNoImageAndNeverDeadlock)
{
    ASSERT_NE(card_->EnableGrab(), nullptr);
    std::atomic<bool> stop{false};
    std::atomic<int> read{0};
    std::atomic<int> deleted{0};
    std::atomic<int> cycles{0};
    std::atomic<int> releaseAlls{0};

    BoundedThread grabber([&] {
        while (!stop) {
            card_->GrabNext();
        }
    });
    BoundedThread reader([&] {
        while (!stop) {
            bool waited = false;
            if (card_->GetCurrent(waited) == nullptr) {
                continue;
            }
            const int n = ++read;
            // Now and then an image leaves circulation for good, as a host may decide.
            if (n % 25000 == 0 && deleted < 2) {
                card_->DeleteCurrent();
                ++deleted;
            } else {
                card_->ReleaseCurrent();
            }
        }
    });
    BoundedThread control([&] {
        while (!stop) {
            Sleep(5);
            card_->SignalGrabEvent();
            card_->SignalReadEvent();
            if (read % 7 == 0) {
                card_->ReleaseAll();
                ++releaseAlls;
            }
            // Every so often a stop and a new start, with the host threads still running.
            if (++cycles % 400 == 0) {
                card_->DisableGrab();
                card_->EnableGrab();
            }
        }
    });

    const bool finished = WaitUntil(120000, [&] { return read >= kFrames; });
    stop = true;
    const auto wake = [&] {
        card_->SignalGrabEvent();
        card_->SignalReadEvent();
    };
    ASSERT_TRUE(control.JoinNudging(10000, wake)) << "control thread stuck";
    ASSERT_TRUE(grabber.JoinNudging(10000, wake)) << "grab thread stuck";
    ASSERT_TRUE(reader.JoinNudging(10000, wake)) << "read thread stuck";
    card_->DisableGrab();
    EXPECT_TRUE(finished) << "only " << read << " frames in the time allowed";

    // Every image is in exactly one list, or was deleted.
    std::set<CImageWrapper*> seen;
    int inLists = 0;
    card_->ForEachImage([&](ImageListId list, CImageWrapper* image) {
        EXPECT_NE(list, ImageListId::Grab);
        EXPECT_TRUE(seen.insert(image).second) << "an image is in two places";
        ++inLists;
    });
    EXPECT_EQ(inLists + deleted, kImages);
    EXPECT_EQ(card_->GrabListSize(), 0);
    EXPECT_EQ(SimBoard_GetCounter("producerThreads"), 0);
    // A ReleaseAll landing between the reader's GetCurrent and its ReleaseCurrent leaves the
    // reader nothing to release, which the card reports; the more so on a busy machine. Nothing
    // else may.
    EXPECT_LE(listener_.Count("SEVERE ERROR : SHOULD NEVER EXECUTE"), releaseAlls.load());
    std::printf("stress: %d frames read, %d enable/disable cycles, board produced %lld, dropped for lack of a "
                "block %lld\n",
                read.load(), cycles.load() / 400, SimBoard_GetCounter("framesProduced"),
                SimBoard_GetCounter("framesDroppedNoBlock"));
}

TEST_F(CardStress, TheFramePathAllocatesNothingOnceBuffersExist)
{
    ASSERT_NE(card_->EnableGrab(), nullptr);
    std::atomic<bool> stop{false};
    BoundedThread grabber([&] {
        while (!stop) {
            card_->GrabNext();
        }
    });
    auto readFrames = [&](int frames) {
        for (int i = 0; i < frames;) {
            bool waited = false;
            if (card_->GetCurrent(waited) != nullptr) {
                card_->ReleaseCurrent();
                ++i;
            }
        }
    };
    // Let the stream settle, then count while thousands of frames go round.
    RunBounded(30000, "reading the first frames", [&] { readFrames(200); });
    AllocationCount counted;
    // Counting starts inside the reading thread, after the harness made its own allocations.
    RunBounded(60000, "reading frames while counting", [&] {
        StartCountingAllocations();
        readFrames(5000);
        counted = StopCountingAllocations();
    });
    stop = true;
    ASSERT_TRUE(grabber.JoinNudging(10000, [&] { card_->SignalGrabEvent(); }));
    card_->DisableGrab();
    EXPECT_EQ(counted.allocations, 0);
    EXPECT_EQ(counted.deallocations, 0);
}

}  // namespace
}  // namespace orvane::test
