// What goes wrong reaches the application as a result and a logged reason, never as a window:
// no board, no profile, no signal; and a board that stops delivering ends the stream.
#include <gtest/gtest.h>

#include <vfwmsgs.h>

#include "simboard/SimBoardControl.h"
#include "tests/support/DebugOutputListener.h"
#include "tests/support/WindowWatcher.h"
#include "tests/videosource/VideoSourceFixture.h"
#include "tools/common/ComErrorText.h"
#include "videosource/VideoSourceIds.h"
#include "videosource/check/SubtypeNames.h"

namespace {

using namespace orvane::test;
using orvane::ComPtr;
using orvane::host::Narrow;
namespace vs = orvane::videosource;

class VideoSourceErrors : public VideoSourceTest {
protected:
    std::string Prefix() const { return "OrvaneVideoSource - " + Narrow(serial_) + ": "; }
    // A line of this device's that starts so (the module's own reason follows).
    static bool LoggedStartingWith(DebugOutputListener& log, const std::string& start)
    {
        for (const std::string& line : log.Lines()) {
            if (line.rfind(start, 0) == 0) {
                return true;
            }
        }
        return false;
    }
    static void ExpectNoWindow(WindowWatcher& watcher)
    {
        const std::vector<std::string> windows = watcher.Stop();
        EXPECT_TRUE(windows.empty()) << "a window of the process appeared: " << windows.front();
    }
};

TEST_F(VideoSourceErrors, WithoutAProfileThePauseFailsAndTheLogSaysHowToChooseOne)
{
    DebugOutputListener log;
    const ComPtr<IBaseFilter> filter = MakeFilter();
    EXPECT_EQ(filter->Pause(), vs::kNoProfile);
    FILTER_STATE state = State_Paused;
    EXPECT_EQ(filter->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
    EXPECT_TRUE(log.Contains(Prefix() + "no profile: choose one with orvane-ctl --registry-path 'Software\\OrvaneVideoSource\\" +
                             Narrow(serial_) + "\\' --profile FILE"))
        << log.Dump();
}

TEST_F(VideoSourceErrors, AProfileTheBoardRefusesFailsThePauseAsNoProfile)
{
    UseProfile("orvane-640x480-60-vga.chp");
    ASSERT_TRUE(WritePrivateProfileStringA("ORVANEHD", nullptr, nullptr, profile_.c_str()));  // no timing at all
    DebugOutputListener log;
    // Run unattended, the module says why instead of asking for another file.
    WindowWatcher watcher;
    const ComPtr<IBaseFilter> filter = MakeFilter();
    EXPECT_EQ(filter->Pause(), vs::kNoProfile);
    ExpectNoWindow(watcher);
    EXPECT_TRUE(LoggedStartingWith(log, Prefix() + "the profile does not suit the board: Orvane - Unattended: the board file \"" +
                                            profile_ + "\""))
        << log.Dump();
}

TEST_F(VideoSourceErrors, WithoutTheBoardThePauseFailsAndTheFormatsAreNotOffered)
{
    UseProfile("orvane-640x480-60-vga.chp");
    ASSERT_EQ(SimBoard_SetBoards(nullptr, 0), 0);
    DebugOutputListener log;
    const ComPtr<IBaseFilter> filter = MakeFilter();
    EXPECT_EQ(filter->Pause(), VFW_E_NO_CAPTURE_HARDWARE);
    ComPtr<IPin> pin;
    ASSERT_EQ(filter->FindPin(vs::kPinName, pin.Put()), S_OK);
    int count = 0;
    int size = 0;
    EXPECT_EQ(As<IAMStreamConfig>(pin.Get(), IID_IAMStreamConfig)->GetNumberOfCapabilities(&count, &size), VFW_E_NO_CAPTURE_HARDWARE);
    EXPECT_TRUE(LoggedStartingWith(log, Prefix() + "the board cannot be opened: Orvane - ")) << log.Dump();
}

// The filter's own Pause is asked, as the graph manager asks it: Wine's graph manager answers Run
// with the first answer other than S_OK, the renderer's S_FALSE (it waits for a sample), where
// Windows' answers with the failure.
TEST_F(VideoSourceErrors, WithoutASignalThePauseFails)
{
    UseProfile("orvane-640x480-60-vga.chp");
    const ComPtr<IBaseFilter> filter = MakeFilter();
    SampleLog samples(1, 0);
    orvane::dshowcheck::CheckGraph graph;
    std::string error;
    ASSERT_EQ(graph.Build(*filter.Get(), std::nullopt, samples, error), S_OK) << error;
    ASSERT_EQ(SimBoard_SetSignal(0), 0);
    DebugOutputListener log;
    // Run unattended, the module fails with the text of the box it would have shown.
    WindowWatcher watcher;
    EXPECT_EQ(filter->Pause(), vs::kNoSignal);
    ExpectNoWindow(watcher);
    EXPECT_TRUE(log.Contains(Prefix() + "no video signal: Something is wrong with the video signal, or no video is connected."))
        << log.Dump();
    FILTER_STATE state = State_Paused;
    filter->GetState(0, &state);
    EXPECT_EQ(state, State_Stopped);
}

TEST_F(VideoSourceErrors, ABoardThatStopsDeliveringEndsTheStreamWithAnAbort)
{
    UseProfile("orvane-640x480-60-vga.chp");
    const ComPtr<IBaseFilter> filter = MakeFilter();
    SampleLog samples(10, 0);
    orvane::dshowcheck::CheckGraph graph;
    std::string error;
    ASSERT_EQ(graph.Build(*filter.Get(), orvane::dshowcheck::SubtypeByName("YUY2"), samples, error), S_OK) << error;
    DebugOutputListener log;
    ASSERT_EQ(graph.Run(), S_OK);
    LONG_PTR parameter = 0;
    ASSERT_EQ(graph.Wait(samples.Done(), 20000, parameter), 0) << "the stream ran first";
    ASSERT_EQ(SimBoard_PauseProducer(1), 0);
    HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(graph.Wait(never, 20000, parameter), EC_ERRORABORT);
    CloseHandle(never);
    EXPECT_EQ(static_cast<HRESULT>(parameter), vs::kBoardStalled);
    graph.Stop();
    EXPECT_TRUE(log.Contains(Prefix() + "no frame for 1000 ms: the board stopped delivering, the stream ends")) << log.Dump();
}

TEST_F(VideoSourceErrors, AFilterWithoutADeviceSaysSo)
{
    ComPtr<IBaseFilter> filter;
    ASSERT_EQ(VideoSourceFactory(vs::kFilterClass)->CreateInstance(nullptr, IID_IBaseFilter, filter.PutVoid()), S_OK);
    EXPECT_EQ(filter->Pause(), vs::kNoDevice);
}

}  // namespace
