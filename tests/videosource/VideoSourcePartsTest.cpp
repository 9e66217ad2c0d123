// The video source's pieces that need no board: the frame copy, the clock mapping, the lost-frame
// count and what a proposed media type may ask for.
#include <gtest/gtest.h>

#include <dshow.h>

#include <algorithm>
#include <vector>

#include "videosource/ClockMapping.h"
#include "videosource/DropLedger.h"
#include "videosource/FrameCopy.h"
#include "videosource/MediaTypeCopy.h"
#include "videosource/VideoFormats.h"
#include "videosource/VideoProcAmp.h"

namespace {

using namespace orvane::videosource;

constexpr REFERENCE_TIME kPeriod = 166667;
constexpr REFERENCE_TIME kMs = 10000;

TEST(VideoSourceParts, TheCopyFlipsBottomUpRowsAndZeroesThePadding)
{
    const std::vector<BYTE> source = {1, 2, 3, 4, 5, 6};  // 2 rows of 3 bytes
    std::vector<BYTE> target(8, 0xEE);
    CopyFrame(source.data(), target.data(), CopyPlan{3, 2, 4, true});
    EXPECT_EQ(target, (std::vector<BYTE>{4, 5, 6, 0, 1, 2, 3, 0}));
    CopyFrame(source.data(), target.data(), CopyPlan{3, 2, 3, false});
    EXPECT_EQ(std::vector<BYTE>(target.begin(), target.begin() + 6), source);
}

TEST(VideoSourceParts, FramesKeepTheirStampedSpacingAndTheOffsetIsLearntAgainOnlyAfterAJump)
{
    ClockMapping clock;
    const REFERENCE_TIME base = 1'000'000 * kMs;
    // Deliveries 3, 1, 1, 1, 1 and 2 ms after the stamp: the quickest sets the offset, which moves
    // towards it by at most kSlew a frame, so no step between two samples shrinks by more.
    EXPECT_TRUE(clock.Place(base, 5 * kMs + 3 * kMs).relearnt);
    REFERENCE_TIME expected = 3 * kMs;
    for (int i = 1; i <= 4; ++i) {
        expected = std::max(expected - ClockMapping::kSlew, 1 * kMs);
        EXPECT_EQ(clock.Place(base + i * kPeriod, 5 * kMs + i * kPeriod + 1 * kMs).time, 5 * kMs + i * kPeriod + expected);
    }
    EXPECT_EQ(expected, 1 * kMs);
    EXPECT_EQ(clock.Place(base + 5 * kPeriod, 5 * kMs + 5 * kPeriod + 2 * kMs).time, 5 * kMs + 5 * kPeriod + 1 * kMs);
    // A late delivery keeps its place; a run of them is a jump.
    REFERENCE_TIME header = base + 6 * kPeriod;
    for (int i = 0; i < ClockMapping::kLateFramesForJump - 1; ++i, header += kPeriod) {
        const auto placed = clock.Place(header, 5 * kMs + (header - base) + 200 * kMs);
        EXPECT_FALSE(placed.relearnt);
        EXPECT_EQ(placed.time, 5 * kMs + (header - base) + 1 * kMs);
    }
    EXPECT_TRUE(clock.Place(header, 5 * kMs + (header - base) + 200 * kMs).relearnt);
    // A frame earlier than the offset allows: the header clock jumped ahead.
    EXPECT_TRUE(clock.Place(header + 10'000 * kMs, 5 * kMs + (header - base) + kPeriod).relearnt);

    // With a frame period, a quicker delivery by half a period or more would reorder the samples.
    clock.Restart(kPeriod);
    EXPECT_TRUE(clock.Place(base, 20 * kMs).relearnt);
    EXPECT_FALSE(clock.Place(base + kPeriod, kPeriod + 15 * kMs).relearnt);
    EXPECT_TRUE(clock.Place(base + 2 * kPeriod, 2 * kPeriod + 5 * kMs).relearnt);
}

TEST(VideoSourceParts, AGapOfWholePeriodsCountsItsFramesAsDropped)
{
    DropLedger ledger;
    ledger.Start(kPeriod);
    LONGLONG number = 0;
    EXPECT_EQ(ledger.Arrived(0, number), 0);
    EXPECT_EQ(ledger.Arrived(kPeriod + 2 * kMs, number), 0);            // jitter is no gap
    EXPECT_EQ(ledger.Arrived(4 * kPeriod - 3 * kMs, number), 2);        // two missing
    EXPECT_EQ(number, 4);
    ledger.Discarded(5);
    EXPECT_EQ(ledger.Dropped(), 3);
    EXPECT_EQ(ledger.RecentDrops(10), (std::vector<LONG>{2, 3, 5}));
    // A stamp a period late looks like a lost frame until the next frame comes when it is due.
    EXPECT_EQ(ledger.Arrived(5 * kPeriod - 3 * kMs, number), 0);
    EXPECT_EQ(ledger.Arrived(7 * kPeriod - 3 * kMs, number), 1);
    EXPECT_EQ(ledger.Arrived(7 * kPeriod - 2 * kMs, number), 0);
    EXPECT_EQ(number, 7);
    EXPECT_EQ(ledger.Dropped(), 3);
    EXPECT_EQ(ledger.RecentDrops(10), (std::vector<LONG>{2, 3, 5}));
    // Stamps late for a while: the count runs ahead, and comes back with the first on time.
    EXPECT_EQ(ledger.Arrived(8 * kPeriod + 7 * kMs, number), 0) << "10 ms late is no loss";
    EXPECT_EQ(ledger.Arrived(9 * kPeriod + 11 * kMs, number), 1);
    EXPECT_EQ(ledger.Arrived(10 * kPeriod + 11 * kMs, number), 0);
    EXPECT_EQ(ledger.Arrived(11 * kPeriod - 3 * kMs, number), 0);
    EXPECT_EQ(number, 11);
    EXPECT_EQ(ledger.Dropped(), 3);

    // Where the module counts its losses, they replace the gaps (the same frames, not added to
    // them); frames the source could not deliver still count.
    ledger.Start(kPeriod);
    ledger.ModuleLost(40);  // lost before the run's first frame: not the run's
    EXPECT_EQ(ledger.Arrived(0, number), 0);
    ledger.ModuleLost(42);
    EXPECT_EQ(ledger.Arrived(3 * kPeriod, number), 2);
    ledger.Discarded(number);
    EXPECT_EQ(ledger.Dropped(), 3);
    ledger.ModuleLost(43);  // one the times cannot show (stamps a whole period late)
    EXPECT_EQ(ledger.Arrived(4 * kPeriod, number), 0);
    EXPECT_EQ(ledger.Dropped(), 4);
}

TEST(VideoSourceParts, AProposedTypeIsTakenOnlyAsTheSourceWouldMakeIt)
{
    const VideoGeometry geometry = MakeGeometry(640, 480, 60.0);
    EXPECT_EQ(geometry.minPeriod, 166666);
    EXPECT_EQ(geometry.maxPeriod, 166667);
    const std::vector<LONG> offered = {6, 0, 3, 5, 8};
    MediaType type;
    ASSERT_EQ(BuildMediaType(*MappingForType(6), geometry, true, type.Get()), S_OK);
    auto* video = reinterpret_cast<VIDEOINFOHEADER*>(type.Get().pbFormat);
    EXPECT_EQ(video->bmiHeader.biHeight, -480);
    const auto topDown = ReadProposal(type.Get(), geometry, offered, 6);
    ASSERT_TRUE(topDown);
    EXPECT_TRUE(topDown->topDown);

    ASSERT_EQ(BuildMediaType(*MappingForType(0), geometry, false, type.Get()), S_OK);
    EXPECT_EQ(ReadProposal(type.Get(), geometry, offered, 3)->mapping->moduleType, 3) << "the twin in force";
    EXPECT_EQ(ReadProposal(type.Get(), geometry, offered, 6)->mapping->moduleType, 0) << "else the first";

    struct Change {
        const char* what;
        void (*apply)(VIDEOINFOHEADER&);
    };
    const Change refused[] = {
        {"another width", [](VIDEOINFOHEADER& v) { v.bmiHeader.biWidth = 320; }},
        {"a top-down YUY2", [](VIDEOINFOHEADER& v) { v.bmiHeader.biHeight = -480; }},
        {"another rate", [](VIDEOINFOHEADER& v) { v.AvgTimePerFrame = 333333; }},
        {"another bit count", [](VIDEOINFOHEADER& v) { v.bmiHeader.biBitCount = 24; }},
    };
    for (const Change& change : refused) {
        ASSERT_EQ(BuildMediaType(*MappingForType(5), geometry, false, type.Get()), S_OK);
        change.apply(*reinterpret_cast<VIDEOINFOHEADER*>(type.Get().pbFormat));
        EXPECT_FALSE(ReadProposal(type.Get(), geometry, offered, 5)) << change.what;
    }
    ASSERT_EQ(BuildMediaType(*MappingForType(5), geometry, false, type.Get()), S_OK);
    reinterpret_cast<VIDEOINFOHEADER*>(type.Get().pbFormat)->AvgTimePerFrame = 0;
    EXPECT_TRUE(ReadProposal(type.Get(), geometry, offered, 5)) << "no rate asked for";
}

TEST(VideoSourceParts, BoardUnitsSurviveTheBoardsTruncation)
{
    for (long value : {5700L, 12345L, 1L, 20000L}) {
        EXPECT_EQ(static_cast<long>(FromBoardUnits(value) * 10000.0), value);
    }
}

}  // namespace
