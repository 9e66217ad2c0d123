// Every frame the board fills reaches the host exactly once, or is counted as lost with its cause:
// the host's usual cycle through COM, the board at its fastest with 8 and with 32 buffers, and at
// a steady rate with a grab thread that falls behind now and then. Frame numbers come from the
// board's header in each frame.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>

#include "Orvane.h"
#include "simboard/SimBoardControl.h"
#include "tests/module/GrabberFixture.h"
#include "tests/module/HostCycle.h"

namespace {

using namespace orvane::test;
using orvane::ComPtr;

struct AccountingRun {
    const char* what;
    SHORT buffers;
    double rate;
    std::int64_t frames;
    bool slowGrab;
};

class GrabberFrameAccounting : public GrabberCardTest {
protected:
    void Account(const AccountingRun& run);
};

void GrabberFrameAccounting::Account(const AccountingRun& run)
{
    // Small frames: the board's painting must not set the pace.
    UseProfile("orvane-640x480-60-vga.chp", 64, 48);
    ASSERT_EQ(Initialize().result, S_OK);
    ASSERT_EQ(grabber_->AllocateBuffers(run.buffers), S_OK);
    ComPtr<IOrvaneFrameCounters> counters = As<IOrvaneFrameCounters>(IID_IOrvaneFrameCounters);
    ASSERT_TRUE(counters);
    ASSERT_EQ(SimBoard_SetFrameRate(run.rate), 0);
    ASSERT_EQ(SimBoard_ResetCounters(), 0);
    ASSERT_EQ(grabber_->EnableGrab(), S_OK);
    HostCycle host(grabber_.Get(), run.slowGrab);
    const bool finished = host.WaitForFrames(run.frames, 240000);
    ASSERT_TRUE(host.StopGrabbing());
    ASSERT_EQ(grabber_->DisableGrab(), S_OK);
    ASSERT_TRUE(host.DrainAndStop());
    EXPECT_TRUE(finished) << "only " << host.FramesRead() << " frames in the time allowed";

    const FrameTally& tally = host.Tally();
    LONGLONG captured = -1, noImage = -1, unread = -1, skipped = -1;
    ASSERT_EQ(counters->GetFramesCaptured(&captured), S_OK);
    ASSERT_EQ(counters->GetFramesLost(OrvaneLossNoImage, &noImage), S_OK);
    ASSERT_EQ(counters->GetFramesLost(OrvaneLossUnread, &unread), S_OK);
    ASSERT_EQ(counters->GetFramesLost(OrvaneLossBoardSkipped, &skipped), S_OK);
    const long long produced = SimBoard_GetCounter("framesProduced");
    const long long boardMissed = SimBoard_GetCounter("framesDroppedNoBlock") + SimBoard_GetCounter("ticksSkipped");
    std::printf("%s: board produced %lld (missed %lld ticks); host saw %lld, backwards %lld, numbers skipped "
                "%lld; module captured %lld, lost %lld + %lld, board skipped %lld\n",
                run.what, produced, boardMissed, static_cast<long long>(tally.frames), static_cast<long long>(tally.backwards),
                static_cast<long long>(tally.gaps), static_cast<long long>(captured), static_cast<long long>(noImage),
                static_cast<long long>(unread), static_cast<long long>(skipped));

    EXPECT_EQ(tally.unmarked, 0);
    EXPECT_EQ(tally.backwards, 0) << "never twice, never backwards";
    // Each frame the board filled was seen once or counted lost with its cause; here nothing is
    // lost in the module at all.
    EXPECT_EQ(tally.frames + noImage + unread, produced);
    EXPECT_EQ(noImage, 0);
    EXPECT_EQ(unread, 0);
    EXPECT_EQ(captured, produced);
    // The numbers the host never saw are exactly those the board itself skipped, and counted so
    // between frames; a tick the board missed before its first frame shows only in the first
    // number (the machine is shared: a late start happens).
    EXPECT_EQ(tally.gaps, skipped);
    EXPECT_LE(tally.first + skipped, boardMissed);
    if (run.rate < 0) {
        EXPECT_EQ(tally.first, 0);
        EXPECT_EQ(skipped, 0) << "at its fastest the board numbers only the frames it fills";
    }
}

// Each a test of its own, so that each has its own time bound.
TEST_F(GrabberFrameAccounting, UnlimitedRateWithEightBuffers)
{
    Account({"unlimited, 8 buffers", 8, SIMBOARD_RATE_UNLIMITED, 100000, false});
}

TEST_F(GrabberFrameAccounting, UnlimitedRateWithThirtyTwoBuffers)
{
    Account({"unlimited, 32 buffers", 32, SIMBOARD_RATE_UNLIMITED, 100000, false});
}

TEST_F(GrabberFrameAccounting, SteadyRateWithAGrabThreadFallingBehind)
{
    Account({"500 Hz, 4 buffers, slow grab thread", 4, 500.0, 2000, true});
}

}  // namespace
