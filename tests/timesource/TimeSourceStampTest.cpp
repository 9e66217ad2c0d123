// Stamping captured frames at the lists: plug-in, offsets and time-code shift in their order, a
// plug-in that throws dropped (and that logged once) for the rest of the period and loaded again
// at the next start, and frames without pixels left alone.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <ctime>
#include <stdexcept>

#include "tests/buffers/AllocationCounter.h"
#include "tests/buffers/TestList.h"
#include "tests/support/DebugOutputListener.h"
#include "tests/support/ScratchRegistryKey.h"
#include "tests/timesource/TestPluginState.h"

namespace orvane::test {
namespace {

constexpr std::int32_t kPluginShift = 100000;  // seconds the test plug-in adds

class ThrowingSourceList : public TestList {
public:
    bool throwNext = false;
    // Throws as a plug-in would, from code of this process's own runtime, so the failure path is
    // the same on every build.
    bool StampSourceTime(ImageHeader* header) override
    {
        if (throwNext) {
            throw std::runtime_error("lost the reference");
        }
        return TestList::StampSourceTime(header);
    }
};

bool Near(std::int32_t seconds, std::int64_t expected)
{
    return seconds > expected - 60 && seconds < expected + 60;
}

TEST(TimeSourceStamp, AThrowingPluginLeavesTheSystemClockWithOffsetsUntilTheNextStart)
{
    DebugOutputListener listener;
    ScratchRegistryKey registry;
    ASSERT_TRUE(ScratchRegistryKey::SetString(registry.Path(), "TimeSourceDLL", "ts_full.dll"));
    ASSERT_TRUE(ScratchRegistryKey::SetDword(registry.Path(), "TimeSourceOffset", 3000000));
    ASSERT_TRUE(ScratchRegistryKey::SetDword(registry.Path(), "LTCTimeSourceOffset", 1));
    ThrowingSourceList list;
    list.SetNames(registry.WidePath().c_str(), L"Orvane");
    list.AllocateBuffers(3);
    list.AddImage(nullptr);
    list.PrepareGrab();
    ASSERT_TRUE(list.TimeSources().HoldsPlugin());
    TestPluginState* state = LoadedPluginState(L"ts_full.dll");
    ASSERT_NE(state, nullptr);
    state->secondsShift = kPluginShift;

    // The first three carry 23:59:59:29 with every flag bit set; the fourth has no pixels.
    std::array<ImageHeader*, 4> headers{};
    for (int i = 0; i < 4; ++i) {
        bool waited = false;
        CImageWrapper* image = list.GetFreeBuffer(waited);
        ASSERT_NE(image, nullptr);
        headers[static_cast<size_t>(i)] = image->GetImage();
        if (i < 3) {
            const std::uint8_t code[4] = {0xE9, 0xD9, 0xD9, 0xE3};
            std::memcpy(image->GetImage()->pixels, code, 4);
        }
    }
    const std::int64_t now = std::time(nullptr);
    // A frame through the plug-in and both offsets allocates nothing.
    StartCountingAllocations();
    ASSERT_TRUE(list.FrameCaptured());
    EXPECT_EQ(StopCountingAllocations().allocations, 0);
    list.throwNext = true;
    ASSERT_TRUE(list.FrameCaptured());
    list.throwNext = false;
    EXPECT_FALSE(list.TimeSources().HoldsPlugin());
    ASSERT_TRUE(list.FrameCaptured());
    ASSERT_TRUE(list.FrameCaptured());

    EXPECT_TRUE(Near(headers[0]->seconds, now + kPluginShift + 3)) << headers[0]->seconds;
    EXPECT_TRUE(Near(headers[1]->seconds, now + 3)) << headers[1]->seconds;
    EXPECT_TRUE(Near(headers[2]->seconds, now + 3)) << headers[2]->seconds;
    EXPECT_EQ(state->processCalls, 1) << "the dropped plug-in saw no further frame";
    // Said once for the drop, not for each frame after it.
    EXPECT_EQ(listener.Count("The time source failed on a frame. Defaulting to system clock."), 1) << listener.Dump();
    const std::uint8_t shifted[4] = {0xC0, 0x80, 0x80, 0xC0};  // 00:00:00:00, the flags kept
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(std::memcmp(headers[static_cast<size_t>(i)]->pixels, shifted, 4), 0) << i;
    }
    EXPECT_EQ(headers[3]->seconds, 0);
    EXPECT_EQ(headers[3]->milliseconds, 0);

    // Stopping does not reach the dropped plug-in; the next start loads it again.
    list.FinishGrab();
    EXPECT_EQ(state->uninitializeCalls, 0);
    list.PrepareGrab();
    EXPECT_TRUE(list.TimeSources().HoldsPlugin());
    EXPECT_EQ(state->clearEventsCalls, 0);
    EXPECT_EQ(LoadedPluginState(L"ts_full.dll"), state) << "the library stayed loaded from the drop to its reload";
    EXPECT_EQ(state->initializeCalls, 2);
}

}  // namespace
}  // namespace orvane::test
