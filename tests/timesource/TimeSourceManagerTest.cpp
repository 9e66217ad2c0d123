// The time source chosen at each grab start: which registry values pick which plug-in, what a
// refused plug-in leaves, the offsets' reading and limits, and the held plug-in's lifetime while
// host threads are inside it.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/BoundedWait.h"
#include "tests/support/DebugOutputListener.h"
#include "tests/support/ScratchRegistryKey.h"
#include "tests/timesource/TestPluginState.h"
#include "timing/TimeSourceManager.h"

namespace orvane::test {
namespace {

constexpr char kFallback[] = "Loading the time source failed. Defaulting to system clock.";

TestPluginState* PluginState(const wchar_t* library)
{
    HMODULE module = GetModuleHandleW(library);
    if (module == nullptr) {
        return nullptr;
    }
    auto get = reinterpret_cast<TestPluginStateFn>(reinterpret_cast<void (*)()>(GetProcAddress(module, "TestPluginState")));
    return get != nullptr ? get() : nullptr;
}

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
    // Without a plug-in the host's queries answer 0 and do nothing.
    EXPECT_EQ(manager_.GetSynchronizationStatus(), 0);
    EXPECT_FALSE(manager_.IsGPSSupported());
    manager_.GetGPSData(5, true);
    manager_.StopReadingGPSData();
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
    TestPluginState* state = PluginState(L"ts_minimal.dll");
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->initializeCalls, 1);
    EXPECT_EQ(manager_.GetSynchronizationStatus(), 7);
    EXPECT_TRUE(manager_.IsGPSSupported());
    manager_.GetGPSData(0xCAFEF00Du, true);
    EXPECT_EQ(state->lastGpsWord, 0xCAFEF00Du);
    EXPECT_EQ(state->lastGpsFlag, 1);

    // The same name again: the library stays loaded throughout, its state with it.
    manager_.ClearEvents();
    Load();
    EXPECT_EQ(PluginState(L"ts_minimal.dll"), state);
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
    // A 4-byte binary offset counts like a DWORD, an 8-byte one as 0, a 2-byte one by its low bytes.
    const BYTE four[4] = {0x10, 0x27, 0, 0};
    ASSERT_TRUE(ScratchRegistryKey::SetRaw(registry_.Path(), "TimeSourceOffset", REG_BINARY, four, 4));
    Load();
    EXPECT_EQ(manager_.TimeSourceOffset(), 10000);
    const BYTE eight[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_TRUE(ScratchRegistryKey::SetRaw(registry_.Path(), "TimeSourceOffset", REG_BINARY, eight, 8));
    Load();
    EXPECT_EQ(manager_.TimeSourceOffset(), 0);
    const BYTE two[2] = {0xFE, 0xFF};
    ASSERT_TRUE(ScratchRegistryKey::SetRaw(registry_.Path(), "TimeSourceOffset", REG_BINARY, two, 2));
    Load();
    EXPECT_EQ(manager_.TimeSourceOffset(), 0xFFFE);
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
        {0, 200, 1, 0, 108, 1},        // at 20 frames per second 19 + 108 = 127
        {0, static_cast<DWORD>(-129), 2, 0, -128, 1},
        {0x80000000u, 256, 0, -2147483647, 98, 2},
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
    TestPluginState* state = PluginState(L"ts_full.dll");
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
