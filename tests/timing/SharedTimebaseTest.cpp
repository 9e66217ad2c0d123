// The shared timebase against the real platform: the named mapping, the lock between processes and
// the debug output. Every test needs a logon in which no process holds the timebase yet; CTest runs
// each test in a process of its own, and the peers a test starts end before it does.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/DebugOutputListener.h"
#include "tests/support/PeerProcess.h"
#include "timing/SharedTimebase.h"

namespace {

using orvane::test::DebugOutputListener;
using orvane::test::PeerProcess;
using Lines = std::vector<std::string>;
using Time = std::tuple<std::int32_t, unsigned, unsigned>;

const std::string kAllocating = "Allocating shared timebase";
const std::string kConnecting = "Connecting to shared timebase";
const std::string kCannotAccess = "Critical Error : could not access shared timebase";
constexpr DWORD kPeerWaitMs = 90000;

bool MappingExists()
{
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, "CvhTimebase");
    if (mapping != nullptr) {
        CloseHandle(mapping);
    }
    return mapping != nullptr;
}

std::int64_t CounterNow()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

std::int64_t UnixSecondsNow()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// The attach count as a number (-1 when unattached), so that failures print it as one.
int CountOf(const SharedTimebase& timebase)
{
    const auto record = timebase.Record();
    return record ? record->attachCount : -1;
}

Time At(const SharedTimebase& timebase, std::int64_t counter)
{
    std::int32_t s = 0;
    std::uint16_t ms = 0, us = 0;
    EXPECT_TRUE(timebase.ReadTimebaseAt(counter, s, ms, us));
    return {s, ms, us};
}

Time At(const TimebaseRecord& record, std::int64_t counter)
{
    std::int32_t s = 0;
    std::uint16_t ms = 0, us = 0;
    SharedTimebase::TimeAt(record, counter, s, ms, us);
    return {s, ms, us};
}

// An object without a shared reference still stamps a true time: the wall clock's. Checked against
// the standard library's clock with a margin far beyond any scheduling delay.
void ExpectWallClockTime(SharedTimebase& timebase)
{
    std::int32_t s = 0;
    std::uint16_t ms = 0, us = 0;
    EXPECT_TRUE(timebase.ReadTimebase(s, ms, us));
    EXPECT_NEAR(static_cast<double>(s), static_cast<double>(UnixSecondsNow()), 60.0);
    EXPECT_LT(ms, 1000);
    EXPECT_LT(us, 1000);
}

class SharedTimebaseTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(MappingExists()) << "a timebase is left over in this logon; run each test in a process of its own";
    }
};

TEST(TimebaseArithmetic, TurnsCounterTicksIntoSecondsMillisecondsAndMicroseconds)
{
    TimebaseRecord record{};
    record.frequency = 10'000'000.0;
    record.reference.seconds = 1'700'000'000;
    record.reference.milliseconds = 900;
    record.referenceCounter = 5'000'000'000;
    const std::int64_t ref = record.referenceCounter;

    EXPECT_EQ(At(record, ref), Time(1'700'000'000, 900, 0));
    // 900 ms + 0.2 s: the milliseconds carry into the next second.
    EXPECT_EQ(At(record, ref + 2'000'000), Time(1'700'000'001, 100, 0));
    EXPECT_EQ(At(record, ref + 2'001'239), Time(1'700'000'001, 100, 123));
    EXPECT_EQ(At(record, ref + 99'999'999), Time(1'700'000'010, 899, 999));
    // Readings just before the reference give the earlier time, not garbage milliseconds.
    EXPECT_EQ(At(record, ref - 2'000'000), Time(1'700'000'000, 700, 0));
    EXPECT_EQ(At(record, ref - 1), Time(1'700'000'000, 899, 999));
    EXPECT_EQ(At(record, ref - 9'500'000), Time(1'699'999'999, 950, 0));

    // A frequency that is not a round number: the fraction must come from exact integer arithmetic.
    record.frequency = 3'579'545.0;
    EXPECT_EQ(At(record, ref + 2 * 3'579'545 + 1'789'772), Time(1'700'000'003, 399, 999));
    EXPECT_EQ(At(record, ref + 3'579'545 + 1'789'773), Time(1'700'000'002, 400, 0));
}

TEST_F(SharedTimebaseTest, FirstObjectAllocatesTheSecondConnectsAndBothGiveTheSameTimes)
{
    DebugOutputListener listener;
    const std::int64_t before = UnixSecondsNow();
    SharedTimebase first;
    first.AttachTimebase();
    EXPECT_EQ(listener.Lines(), Lines{kAllocating});
    listener.Clear();
    auto second = std::make_unique<SharedTimebase>();
    second->AttachTimebase();
    EXPECT_EQ(listener.Lines(), Lines{kConnecting});

    const auto record = first.Record();
    ASSERT_TRUE(record && second->Attached());
    EXPECT_EQ(CountOf(first), 2);
    EXPECT_GE(record->frequency, 1000.0);
    EXPECT_NEAR(static_cast<double>(record->reference.seconds), static_cast<double>(before), 60.0);
    const std::int64_t ref = record->referenceCounter;
    for (const std::int64_t counter : {ref, ref + 1, ref + 1'234'567, ref + 3'600 * static_cast<std::int64_t>(record->frequency) + 7}) {
        EXPECT_EQ(At(first, counter), At(*second, counter)) << counter;
        EXPECT_EQ(At(first, counter), At(*record, counter)) << counter;
    }

    // The live reading is the conversion of the counter value it read.
    std::int32_t s = 0;
    std::uint16_t ms = 0, us = 0;
    EXPECT_TRUE(first.ReadTimebase(s, ms, us));
    EXPECT_GE(first.LastCounter(), ref);
    EXPECT_EQ(Time(s, ms, us), At(first, first.LastCounter()));

    // Detaching twice lowers the count once; the detached object has no shared time any more.
    second->DetachTimebase();
    second->DetachTimebase();
    EXPECT_FALSE(second->Attached());
    EXPECT_EQ(CountOf(first), 1);
    EXPECT_FALSE(second->ReadTimebaseAt(ref, s, ms, us));
    second.reset();
    EXPECT_EQ(CountOf(first), 1);
}

TEST_F(SharedTimebaseTest, AnotherProcessSharesTheTimeLineAndKeepsItAliveAfterDetachingFirst)
{
    DebugOutputListener listener;
    const std::int64_t counter = CounterNow() + 12'345'678;
    PeerProcess peer("timebase_peer.exe", "hold " + std::to_string(counter));
    ASSERT_TRUE(peer.Started());
    const auto recordLine = peer.ReadLine(kPeerWaitMs);
    const auto timeLine = peer.ReadLine(kPeerWaitMs);
    ASSERT_TRUE(recordLine && timeLine);
    unsigned peerCount = 0, peerTimeMs = 0, peerTimeUs = 0;
    long long peerReference = 0;
    long peerTimeSeconds = 0;
    ASSERT_EQ(std::sscanf(recordLine->c_str(), "record %u %lld", &peerCount, &peerReference), 2) << *recordLine;
    ASSERT_EQ(std::sscanf(timeLine->c_str(), "time %ld %u %u", &peerTimeSeconds, &peerTimeMs, &peerTimeUs), 3) << *timeLine;
    EXPECT_EQ(peerCount, 1u);

    auto card = std::make_unique<SharedTimebase>();
    card->AttachTimebase();
    EXPECT_EQ(listener.Lines(), Lines{kConnecting});
    ASSERT_TRUE(card->Attached());
    EXPECT_EQ(CountOf(*card), 2);
    EXPECT_EQ(card->Record()->referenceCounter, peerReference);
    EXPECT_EQ(At(*card, counter), Time(static_cast<std::int32_t>(peerTimeSeconds), peerTimeMs, peerTimeUs));

    // The peer's card goes first: the count drops, and the peer's handle keeps the record alive
    // after this process's last card has gone too.
    peer.Go();
    EXPECT_EQ(peer.ReadLine(kPeerWaitMs), std::optional<std::string>("detached"));
    EXPECT_EQ(CountOf(*card), 1);
    card.reset();
    {
        listener.Clear();
        SharedTimebase later;
        later.AttachTimebase();
        EXPECT_EQ(listener.Lines(), Lines{kConnecting});
        ASSERT_TRUE(later.Attached());
        EXPECT_EQ(CountOf(later), 1);
        EXPECT_EQ(later.Record()->referenceCounter, peerReference);
    }
    peer.Quit();
    EXPECT_EQ(peer.WaitExit(kPeerWaitMs), std::optional<DWORD>(0));

    // Nobody holds it now, so the next card starts a new time line.
    EXPECT_FALSE(MappingExists());
    listener.Clear();
    SharedTimebase fresh;
    fresh.AttachTimebase();
    EXPECT_EQ(listener.Lines(), Lines{kAllocating});
    ASSERT_TRUE(fresh.Attached());
    EXPECT_EQ(CountOf(fresh), 1);
    EXPECT_GT(fresh.Record()->referenceCounter, peerReference);
}

TEST_F(SharedTimebaseTest, ThreadsOfSeveralProcessesAttachingAtOnceKeepTheCountAndTheReference)
{
    constexpr int kPeers = 3, kThreads = 8, kCycles = 200;
    std::vector<std::unique_ptr<PeerProcess>> peers;
    for (int i = 0; i < kPeers; ++i) {
        peers.push_back(std::make_unique<PeerProcess>("timebase_peer.exe", "churn " + std::to_string(kThreads) + " " + std::to_string(kCycles)));
        ASSERT_TRUE(peers.back()->Started());
    }
    // All threads race to find or create the record at the same moment, then churn.
    for (auto& peer : peers) {
        peer->Go();
    }
    std::vector<long long> references;
    for (auto& peer : peers) {
        const auto line = peer->ReadLine(kPeerWaitMs);
        ASSERT_TRUE(line);
        int ok = 0;
        long long reference = 0;
        ASSERT_EQ(std::sscanf(line->c_str(), "churn %d %lld", &ok, &reference), 2) << *line;
        EXPECT_EQ(ok, 1) << *line;
        references.push_back(reference);
    }

    SharedTimebase mine;
    mine.AttachTimebase();
    const auto record = mine.Record();
    ASSERT_TRUE(record);
    EXPECT_EQ(CountOf(mine), kPeers * kThreads + 1);
    for (const long long reference : references) {
        EXPECT_EQ(reference, record->referenceCounter);
    }

    for (auto& peer : peers) {
        peer->Quit();
    }
    for (auto& peer : peers) {
        EXPECT_EQ(peer->WaitExit(kPeerWaitMs), std::optional<DWORD>(0));
    }
    EXPECT_EQ(CountOf(mine), 1);
    EXPECT_EQ(mine.Record()->referenceCounter, record->referenceCounter);
}

TEST_F(SharedTimebaseTest, A256thObjectStaysUnattachedInsteadOfWrappingTheCount)
{
    DebugOutputListener listener;
    std::vector<std::unique_ptr<SharedTimebase>> cards;
    for (int i = 0; i < 255; ++i) {
        cards.push_back(std::make_unique<SharedTimebase>());
        cards.back()->AttachTimebase();
        ASSERT_TRUE(cards.back()->Attached()) << i;
    }
    EXPECT_EQ(CountOf(*cards.front()), 255);

    listener.Clear();
    SharedTimebase extra;
    extra.AttachTimebase();
    EXPECT_EQ(listener.Lines(), (Lines{kConnecting, kCannotAccess}));
    EXPECT_FALSE(extra.Attached());
    EXPECT_EQ(CountOf(*cards.front()), 255);
    ExpectWallClockTime(extra);
    extra.DetachTimebase();
    EXPECT_EQ(CountOf(*cards.front()), 255);

    cards.pop_back();
    extra.AttachTimebase();
    EXPECT_TRUE(extra.Attached());
    EXPECT_EQ(CountOf(*cards.front()), 255);
}

TEST_F(SharedTimebaseTest, ARecordWithoutAUsableFrequencyIsNotUsed)
{
    DebugOutputListener listener;
    // A mapping under the name whose record nobody initialised: all zeros, frequency 0.
    HANDLE foreign = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, "CvhTimebase");
    ASSERT_NE(foreign, nullptr);

    SharedTimebase card;
    card.AttachTimebase();
    EXPECT_EQ(listener.Lines(), (Lines{kConnecting, kCannotAccess}));
    EXPECT_FALSE(card.Attached());
    ExpectWallClockTime(card);

    auto* bytes = static_cast<const unsigned char*>(MapViewOfFile(foreign, FILE_MAP_READ, 0, 0, 512));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(bytes[0], 0) << "the attach count of a rejected record must not change";
    UnmapViewOfFile(bytes);
    CloseHandle(foreign);
}

}  // namespace
