// Three sequences a randomized host found, each replayed through the host interface: pixel blocks
// that no longer fit the size the stream is opened with, a stream the board could not close, and a
// GrabNext that lands after the stop. Each once handed the board memory it must not write or the
// host a block the board never filled.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "CorvathSdk.h"
#include "interfaces/ImageHeader.h"
#include "simboard/SimBoardControl.h"
#include "tests/module/GrabberFixture.h"
#include "tests/support/DebugOutputListener.h"
#include "tests/support/WaiterHandshake.h"

namespace {

using namespace orvane::test;
using orvane::ComPtr;

LONGLONG Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

class GrabberReplay : public GrabberCardTest {
protected:
    // The host's cycle on this thread, one frame at a time: every image queued, then each frame
    // read, checked and given back. Returns the frames read; each was filled after `after`.
    int ReadFrames(int frames, SHORT images, LONGLONG after)
    {
        int read = 0;
        RunBounded(20000, "reading frames", [&] {
            for (SHORT i = 0; i < images; ++i) {
                grabber_->GrabNext();
            }
            while (read < frames) {
                ULONG_PTR address = 0;
                grabber_->GetCurrent(&address);
                if (address == 0) {
                    continue;
                }
                const auto* header = reinterpret_cast<const ImageHeader*>(address);
                LONGLONG filled = 0;
                EXPECT_EQ(SimBoard_GetFillTime(header->pixels, &filled), 0);
                EXPECT_GT(filled, after) << "a block the board filled in this period";
                EXPECT_EQ(std::memcmp(static_cast<const char*>(header->pixels) + 8, "OHDF", 4), 0);
                grabber_->ReleaseCurrent();
                grabber_->GrabNext();
                ++read;
            }
        });
        return read;
    }
};

// FreeBuffers, an enlarging SetROI, EnableGrab with no images: the old, smaller blocks must not
// be handed to a stream of the new size.
TEST_F(GrabberReplay, AnEnlargedRegionWithNoImagesOpensNoStreamOverTheOldBlocks)
{
    UseProfile("orvane-640x480-60-vga.chp");
    ASSERT_EQ(Initialize().result, S_OK);
    ComPtr<ICorvathImageProp> image = As<ICorvathImageProp>(IID_ICorvathImageProp);
    ASSERT_EQ(image->SetROI(320, 240, 0, 0), S_OK);
    ASSERT_EQ(grabber_->AllocateBuffers(4), S_OK);
    ASSERT_EQ(grabber_->FreeBuffers(), S_OK);
    ASSERT_EQ(image->SetROI(640, 480, 0, 0), S_OK);

    SetErrorInfo(0, nullptr);
    const HostCall enabled = Answered(grabber_->EnableGrab());
    EXPECT_TRUE(FAILED(enabled.result)) << "nothing to grab into";
    EXPECT_TRUE(enabled.error.present);
    EXPECT_EQ(SimBoard_GetCounter("streamsOpen"), 0);
    EXPECT_EQ(grabber_->DisableGrab(), S_OK);

    // With images again, frames of the new size land in blocks of the new size.
    ASSERT_EQ(grabber_->AllocateBuffers(2), S_OK);
    ASSERT_EQ(SimBoard_SetFrameRate(500.0), 0);
    const LONGLONG started = Now();
    ASSERT_EQ(grabber_->EnableGrab(), S_OK);
    EXPECT_EQ(ReadFrames(6, 2, started), 6);
    EXPECT_EQ(grabber_->DisableGrab(), S_OK);
}

// One close the board refuses: the stream stays with the board until a close succeeds, the
// blocks it holds are not freed under it, and later closes use the record it was opened with.
TEST_F(GrabberReplay, AStreamTheBoardCouldNotCloseIsClosedBeforeItsBlocksGo)
{
    DebugOutputListener listener;
    UseProfile("orvane-640x480-60-vga.chp");
    ASSERT_EQ(Initialize().result, S_OK);
    ASSERT_EQ(grabber_->AllocateBuffers(4), S_OK);
    ASSERT_EQ(SimBoard_SetFrameRate(500.0), 0);
    LONGLONG started = Now();
    ASSERT_EQ(grabber_->EnableGrab(), S_OK);
    EXPECT_EQ(ReadFrames(5, 4, started), 5);
    ASSERT_EQ(SimBoard_FailNext("eHD_LiveStreamClose", 0x0115, 1), 0);
    EXPECT_EQ(grabber_->DisableGrab(), S_OK);
    EXPECT_EQ(listener.Count("DisableGrab : eHD_LiveStreamClose() - ERROR"), 1);

    // Other blocks, at another address and count: the board must let go of the old ones first.
    ASSERT_EQ(grabber_->FreeBuffers(), S_OK);
    ASSERT_EQ(grabber_->AllocateBuffers(7), S_OK);
    for (int round = 0; round < 2; ++round) {
        started = Now();
        ASSERT_EQ(grabber_->EnableGrab(), S_OK);
        EXPECT_EQ(SimBoard_GetCounter("streamsOpen"), 1);
        EXPECT_EQ(ReadFrames(5, 7, started), 5);
        EXPECT_EQ(grabber_->DisableGrab(), S_OK);
        EXPECT_EQ(SimBoard_GetCounter("streamsOpen"), 0) << "round " << round;
    }
    EXPECT_EQ(listener.Count("DisableGrab : eHD_LiveStreamClose() - ERROR"), 1) << listener.Dump();
}

// A GrabNext that lands after the stop queues an image nobody fills. The next EnableGrab must not
// hand it, or anything else of the last period, to a reader already waiting.
TEST_F(GrabberReplay, AGrabNextAfterTheStopWakesNoReaderAtTheNextStart)
{
    UseProfile("orvane-640x480-60-vga.chp");
    ASSERT_EQ(Initialize().result, S_OK);
    ASSERT_EQ(grabber_->AllocateBuffers(3), S_OK);
    ASSERT_EQ(SimBoard_PauseProducer(1), 0);
    ASSERT_EQ(grabber_->EnableGrab(), S_OK);
    ASSERT_EQ(grabber_->DisableGrab(), S_OK);
    EXPECT_EQ(OnHostThread("GrabNext after the stop", [&] { return grabber_->GrabNext(); }).result, S_OK);

    const std::string readEvent = FindOwnEventName("ReadEvent (");
    ASSERT_FALSE(readEvent.empty());
    ASSERT_TRUE(SetNamedEvent(readEvent));
    ULONG_PTR address = 0;
    HRESULT read = E_FAIL;
    LONGLONG resumed = 0;
    BoundedThread reader([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        read = grabber_->GetCurrent(&address);
        CoUninitialize();
    });
    ASSERT_TRUE(WaitUntilWaiterResets(readEvent, 20000));
    ASSERT_EQ(grabber_->EnableGrab(), S_OK);
    resumed = Now();
    ASSERT_EQ(SimBoard_PauseProducer(0), 0);
    ASSERT_TRUE(reader.Join(20000));

    EXPECT_EQ(read, S_FALSE) << "the reader waited";
    ASSERT_NE(address, 0u) << "woken without a frame";
    LONGLONG filled = 0;
    EXPECT_EQ(SimBoard_GetFillTime(reinterpret_cast<const ImageHeader*>(address)->pixels, &filled), 0);
    EXPECT_GT(filled, resumed) << "the first frame of the new period was filled in it";
    grabber_->ReleaseCurrent();
    EXPECT_EQ(grabber_->DisableGrab(), S_OK);
}

}  // namespace
