// Time sources through the host interface: a 1080p60 capture whose every frame carries the shifted
// time code (from the board, or written by the sample plug-in) and the offset time, with no frame
// dropped; the host's four queries passed through to the plug-in; a slow plug-in not released
// under the capture thread.
#include <ctime>
#include <functional>
#include <string>
#include <utility>

#include "interfaces/ImageHeader.h"
#include "platform/OwnedHandle.h"
#include "tests/module/GrabberFixture.h"
#include "tests/timesource/TestPluginState.h"
#include "tools/common/GrabberSession.h"

namespace orvane::test {
namespace {

constexpr std::int32_t kOffsetSeconds = 1000;
constexpr long long kFramesPerDay = 24LL * 3600 * 30;

// The 30 fps time code in a frame's first four bytes as frames since midnight.
long long FramesOfDay(const std::uint8_t* c)
{
    auto bcd = [](int b) { return (b >> 4) * 10 + (b & 0x0F); };
    return ((bcd(c[3] & 0x3F) * 60LL + bcd(c[2] & 0x7F)) * 60 + bcd(c[1] & 0x7F)) * 30 + bcd(c[0] & 0x3F);
}

long long DayFrame(long long frames)
{
    return (frames % kFramesPerDay + kFramesPerDay) % kFramesPerDay;
}

// Counts the frames whose time code is not the one expected for them, or whose time is not now
// plus the offset.
class TimecodeSink : public host::FrameSink {
public:
    explicit TimecodeSink(std::function<long long(const ImageHeader&)> expected) : expected_(std::move(expected)) {}
    void OnFrame(const ImageHeader& header, LONGLONG) override
    {
        const std::int64_t now = std::time(nullptr);
        if (FramesOfDay(static_cast<const std::uint8_t*>(header.pixels)) != DayFrame(expected_(header)) ||
            header.seconds < now + kOffsetSeconds - 60 || header.seconds > now + kOffsetSeconds + 60) {
            ++wrong;
        }
    }
    int wrong = 0;

private:
    std::function<long long(const ImageHeader&)> expected_;
};

class GrabberTimeSource : public GrabberCardTest {
protected:
    void Configure(const char* source, std::int32_t timecodeOffset)
    {
        ASSERT_TRUE(ScratchRegistryKey::SetString(registry_.Path(), "TimeSourceDLL", source));
        ASSERT_TRUE(ScratchRegistryKey::SetDword(registry_.Path(), "TimeSourceOffset", kOffsetSeconds * 1000000u));
        ASSERT_TRUE(ScratchRegistryKey::SetDword(registry_.Path(), "LTCTimeSourceOffset", static_cast<DWORD>(timecodeOffset)));
        ASSERT_TRUE(ScratchRegistryKey::SetDword(registry_.Path(), "LTCTimeSourceMode", 0));
    }

    orvane::ComPtr<ICorvathTimeSourceProp> TimeSource(ICorvathGenericGrabber* grabber)
    {
        orvane::ComPtr<ICorvathTimeSourceProp> queries;
        EXPECT_EQ(grabber->QueryInterface(IID_ICorvathTimeSourceProp, queries.PutVoid()), S_OK);
        return queries;
    }
};

// A host session as a host runs it: the board's time code shifted back 3 frames with the system
// clock, then the sample plug-in's own time code (coded before the offset was added) shifted on 2.
TEST_F(GrabberTimeSource, EveryFrameCarriesTheShiftedTimecodeAndTheOffsetTime)
{
    struct Case {
        const char* source;
        std::int32_t timecodeOffset;
        std::function<long long(const ImageHeader&)> expected;
        LONG status;  // the synchronisation status the host reads while grabbing
    };
    const Case cases[] = {
        {"System", -3,
         [](const ImageHeader& h) {
             const auto* p = static_cast<const std::uint8_t*>(h.pixels);  // the board's frame number follows
             return static_cast<long long>(p[4] | p[5] << 8 | p[6] << 16 | static_cast<std::uint32_t>(p[7]) << 24) - 3;
         },
         0},
        {"OrvaneSampleTimeSource.dll", 2,
         [](const ImageHeader& h) { return (h.seconds - kOffsetSeconds) % 86400 * 30 + h.milliseconds * 30 / 1000 + 2; }, 1},
    };
    UseProfile("orvane-1920x1080-60-dvi.chp");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        ASSERT_EQ(SimBoard_Reset(), 0);
        ASSERT_EQ(SimBoard_SetTimeCode(1, 30), 0);
        Configure(c.source, c.timecodeOffset);
        host::SessionSettings settings;
        settings.registryPath = registry_.WidePath();
        settings.profilePath = profile_;
        host::GrabberSession session;
        TimecodeSink sink(c.expected);
        std::string error;
        ASSERT_TRUE(session.Open(settings, error)) << error;
        ASSERT_TRUE(session.Start(sink, 120, error)) << error;
        EXPECT_TRUE(session.WaitForFrames(60000));
        LONG status = -1;
        EXPECT_EQ(TimeSource(session.Object())->GetSynchronizationStatus(&status), S_OK);
        EXPECT_TRUE(session.Stop(error)) << error;
        EXPECT_EQ(session.Counters().delivered, 120u);
        EXPECT_EQ(sink.wrong, 0);
        EXPECT_EQ(status, c.status) << "1: locked, frames came in order, less than a second apart";
        EXPECT_EQ(SimBoard_GetCounter("framesDroppedNoBlock"), 0);
    }
}

// Before the grabber is initialised the queries leave their out values alone; without a plug-in
// they answer 0; with one, its answers and the host's arguments pass unchanged (the 8-bit GPS
// answer zero-extended, not folded to 0 or 1).
TEST_F(GrabberTimeSource, TheFourQueriesPassThroughToThePlugin)
{
    orvane::ComPtr<ICorvathTimeSourceProp> queries = TimeSource(grabber_.Get());
    LONG status = -5, gps = -5, word = 0x12345678;
    EXPECT_EQ(queries->GetSynchronizationStatus(&status), S_OK);
    EXPECT_EQ(queries->IsGPSSupported(&gps), S_OK);
    EXPECT_EQ(queries->GetGPSData(&word, 1), S_OK);
    EXPECT_EQ(queries->StopReadingGPSData(), S_OK);
    EXPECT_EQ(status, -5);
    EXPECT_EQ(gps, -5);

    Configure("ts_full.dll", 0);
    UseProfile("orvane-640x480-60-vga.chp");
    ASSERT_EQ(Initialize().result, S_OK);
    EXPECT_EQ(queries->GetSynchronizationStatus(&status), S_OK);
    EXPECT_EQ(queries->IsGPSSupported(&gps), S_OK);
    EXPECT_EQ(queries->GetGPSData(&word, 1), S_OK);
    EXPECT_EQ(queries->StopReadingGPSData(), S_OK);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(gps, 0);

    ASSERT_EQ(grabber_->AllocateBuffers(2), S_OK);
    ASSERT_EQ(grabber_->EnableGrab(), S_OK);
    TestPluginState* state = LoadedPluginState(L"ts_full.dll");
    ASSERT_NE(state, nullptr);
    state->gpsSupported = 0x80;
    EXPECT_EQ(queries->GetSynchronizationStatus(&status), S_OK);
    EXPECT_EQ(queries->IsGPSSupported(&gps), S_OK);
    EXPECT_EQ(queries->GetGPSData(&word, 7), S_OK);
    EXPECT_EQ(queries->StopReadingGPSData(), S_OK);
    EXPECT_EQ(status, 7);
    EXPECT_EQ(gps, 0x80);
    EXPECT_EQ(state->lastGpsWord, 0x12345678u);
    EXPECT_EQ(state->lastGpsFlag, 1);
    EXPECT_EQ(state->stopReadingCalls, 1);
    EXPECT_EQ(grabber_->DisableGrab(), S_OK);
}

// A plug-in slow inside ProcessImageData holds the stop back (the frame is stamped under the list
// locks the stop needs), and nothing releases it under the capture thread: the stop uninitialises
// it once the call returned, and the next start, with no plug-in chosen, releases it.
TEST_F(GrabberTimeSource, ASlowPluginIsNotReleasedWhileTheCaptureThreadIsInsideIt)
{
    Configure("ts_slow.dll", 0);
    UseProfile("orvane-640x480-60-vga.chp");
    StartPausedGrab(2);
    TestPluginState* state = LoadedPluginState(L"ts_slow.dll");
    ASSERT_NE(state, nullptr);
    UniqueKernelHandle entered(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    UniqueKernelHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    state->entered = entered.Get();
    state->release = release.Get();
    ASSERT_EQ(SimBoard_PauseProducer(0), 0);
    ASSERT_TRUE(WaitSignalled(entered.Get(), 10000));
    state->entered = nullptr;  // later frames pass

    BoundedThread stop([&] { EXPECT_EQ(grabber_->DisableGrab(), S_OK); });
    EXPECT_NE(GetModuleHandleW(L"ts_slow.dll"), nullptr);
    SetEvent(release.Get());
    ASSERT_TRUE(stop.Join(20000));
    EXPECT_EQ(state->uninitializeCalls, 1);
    EXPECT_NE(GetModuleHandleW(L"ts_slow.dll"), nullptr);

    ASSERT_TRUE(ScratchRegistryKey::SetString(registry_.Path(), "TimeSourceDLL", "System"));
    ASSERT_EQ(grabber_->EnableGrab(), S_OK);
    EXPECT_EQ(GetModuleHandleW(L"ts_slow.dll"), nullptr);
    EXPECT_EQ(grabber_->DisableGrab(), S_OK);
}

}  // namespace
}  // namespace orvane::test
