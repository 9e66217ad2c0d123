// The time source chosen at each grab start: which registry values pick which plug-in, what a
// refused plug-in leaves, the offsets' reading and limits, and the held plug-in's lifetime while
// host threads are inside it.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/BoundedWait.h"
#include "tests/support/DebugOutputListener.h"
#include "tests/support/ScratchRegistryKey.h"
#include "tests/timesource/TestPluginState.h"
#include "timing/TimeSourceManager.h"

namespace orvane::test {
namespace {

constexpr char kFallback[] = "Loading the time source failed. Defaulting to system clock.";

class TimeSourceManagerTest : public ::testing::Test {
protected:
    void Load() { manager_.LoadTimeSource(registry_.WidePath().c_str()); }
    void Choose(const std::string& source) { ASSERT_TRUE(ScratchRegistryKey::SetString(registry_.Path(), "TimeSourceDLL", source)); }
    void SetNumber(const char* name, DWORD value) { ASSERT_TRUE(ScratchRegistryKey::SetDword(registry_.Path(), name, value)); }

    DebugOutputListener listener_;
    ScratchRegistryKey registry_;
    CTimeSourceManager manager_;
};

TEST_F(TimeSourceManagerTest, AbsentEmptyOrSystemLoadNothingAndOnlyANamedSourceIsLogged)
{
    Load();
    EXPECT_FALSE(manager_.HoldsPlugin());
    Choose("");
    Load();
    EXPECT_FALSE(manager_.HoldsPlugin());
    EXPECT_EQ(listener_.Lines().size(), 0u) << listener_.Dump();
    Choose("System");
    Load();
    EXPECT_FALSE(manager_.HoldsPlugin());
    EXPECT_EQ(listener_.Lines(), std::vector<std::string>{"Time Source: System"});
}

TEST_F(TimeSourceManagerTest, EachRefusedPluginLeavesTheSystemClockWithItsOwnLine)
{
    struct Case {
        const char* library;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"ts_noprocess.dll", {"Time Source: ts_noprocess.dll", kFallback}},
        {"ts_initfalse.dll",
         {"Time Source: ts_initfalse.dll", "Could not initialize the time source. Defaulting to system clock."}},
        {"ts_absent.dll", {"Time Source: ts_absent.dll", "Time Source Manager: Failed to load ts_absent.dll", kFallback}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.library);
        listener_.Clear();
        Choose(c.library);
        Load();
        EXPECT_FALSE(manager_.HoldsPlugin());
        EXPECT_EQ(listener_.Lines(), c.lines);
        // Refused libraries are released again.
        const std::wstring wide(c.library, c.library + std::char_traits<char>::length(c.library));
        EXPECT_EQ(GetModuleHandleW(wide.c_str()), nullptr);
    }
}

TEST_F(TimeSourceManagerTest, APluginWithoutTheOptionalEntriesIsUsedAndSwitchingToSystemReleasesIt)
{
    Choose("ts_minimal.dll");
    Load();
    ASSERT_TRUE(manager_.HoldsPlugin());
    TestPluginState* state = LoadedPluginState(L"ts_minimal.dll");
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->initializeCalls, 1);

    // The same name again: the library stays loaded throughout, its state with it.
    manager_.ClearEvents();
    Load();
    EXPECT_EQ(LoadedPluginState(L"ts_minimal.dll"), state);
    EXPECT_EQ(state->initializeCalls, 2);
    EXPECT_EQ(state->clearEventsCalls, 1);

    Choose("System");
    Load();
    EXPECT_FALSE(manager_.HoldsPlugin());
    EXPECT_EQ(GetModuleHandleW(L"ts_minimal.dll"), nullptr);
}

TEST_F(TimeSourceManagerTest, OffsetsAndModeAreReadAsThirtyTwoBitNumbersOfAtMostFourBytes)
{
    // Mode to rate.
    const std::pair<DWORD, std::int32_t> modes[] = {{0, 30}, {1, 20}, {2, 24}, {3, 24}, {0xFFFFFFFFu, 24}};
    for (const auto& [mode, rate] : modes) {
        SetNumber("LTCTimeSourceMode", mode);
        Load();
        EXPECT_EQ(manager_.TimecodeFrameRate(), rate) << mode;
    }
    // A 4-byte binary offset counts like a DWORD, an 8-byte one as 0.
    const BYTE bytes[8] = {0x10, 0x27, 0, 0, 0, 0, 0, 0};
    for (const auto& [size, offset] : {std::pair<DWORD, std::int32_t>{4, 10000}, {8, 0}}) {
        ASSERT_TRUE(ScratchRegistryKey::SetRaw(registry_.Path(), "TimeSourceOffset", REG_BINARY, bytes, size));
        Load();
        EXPECT_EQ(manager_.TimeSourceOffset(), offset) << size;
    }
}

TEST_F(TimeSourceManagerTest, OffsetsBeyondTheArithmeticAreLimitedAndLoggedOncePerStart)
{
    struct Case {
        DWORD timeOffset;
        DWORD timecodeOffset;
        DWORD mode;
        std::int32_t expectedTime;
        std::int32_t expectedTimecode;
        int lines;
    };
    const Case cases[] = {
        {0x80000000u, 0, 0, -2147483647, 0, 1},
        {0x80000001u, static_cast<DWORD>(-128), 0, -2147483647, -128, 0},
        {0, 98, 0, 0, 98, 0},          // frame 29 + 98 = 127: the last that fits
        {0, 99, 0, 0, 98, 1},
        {0, 127, 1, 0, 108, 1},        // at 20 frames per second 19 + 108 = 127
        // Only the low eight bits count, as a signed number: 0x1FF is -1, 200 is -56, -129 is 127.
        {0, 0x1FF, 0, 0, -1, 0},
        {0, 200, 1, 0, -56, 0},
        {0x80000000u, static_cast<DWORD>(-129), 2, -2147483647, 104, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.timeOffset << " " << c.timecodeOffset << " mode " << c.mode);
        SetNumber("TimeSourceOffset", c.timeOffset);
        SetNumber("LTCTimeSourceOffset", c.timecodeOffset);
        SetNumber("LTCTimeSourceMode", c.mode);
        listener_.Clear();
        Load();
        EXPECT_EQ(manager_.TimeSourceOffset(), c.expectedTime);
        EXPECT_EQ(manager_.TimecodeOffset(), c.expectedTimecode);
        EXPECT_EQ(static_cast<int>(listener_.Lines().size()), c.lines) << listener_.Dump();
    }
}

TEST_F(TimeSourceManagerTest, AMissingKeyIsCreatedEmptyAtTheFirstStart)
{
    const std::string path = registry_.Path() + "\\Missing";
    ASSERT_FALSE(ScratchRegistryKey::KeyExists(HKEY_CURRENT_USER, path));
    const std::wstring wide(path.begin(), path.end());
    manager_.LoadTimeSource(wide.c_str());
    EXPECT_TRUE(ScratchRegistryKey::KeyExists(HKEY_CURRENT_USER, path));
    EXPECT_FALSE(ScratchRegistryKey::GetString(path, "TimeSourceDLL").has_value());
    EXPECT_FALSE(manager_.HoldsPlugin());
}

// A plug-in dropped after a failure on the frame path while a host thread is inside one of its
// queries stays loaded until that query has returned; the next start then releases it.
TEST_F(TimeSourceManagerTest, ADroppedPluginOutlivesTheQueryInsideIt)
{
    Choose("ts_full.dll");
    Load();
    ASSERT_TRUE(manager_.HoldsPlugin());
    TestPluginState* state = LoadedPluginState(L"ts_full.dll");
    ASSERT_NE(state, nullptr);
    HANDLE entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    state->entered = entered;
    state->release = release;

    std::int32_t answered = -1;
    BoundedThread query([&] { answered = manager_.GetSynchronizationStatus(); });
    ASSERT_TRUE(WaitSignalled(entered, 10000));
    manager_.DropAfterFailure();
    EXPECT_FALSE(manager_.HoldsPlugin());
    EXPECT_NE(GetModuleHandleW(L"ts_full.dll"), nullptr);

    Choose("System");
    BoundedThread restart([&] { Load(); });
    // However far the restart has got, it has not released the library under the query.
    EXPECT_NE(GetModuleHandleW(L"ts_full.dll"), nullptr);
    state->entered = nullptr;
    SetEvent(release);
    ASSERT_TRUE(query.Join(10000));
    ASSERT_TRUE(restart.Join(10000));
    EXPECT_EQ(answered, 7);
    EXPECT_EQ(GetModuleHandleW(L"ts_full.dll"), nullptr);
    CloseHandle(entered);
    CloseHandle(release);
}

}  // namespace
}  // namespace orvane::test
