// The grabber object with a card behind it, on the simulated board, driven as a host does: its
// control thread initialises and sets up, its grab and read threads call GrabNext and GetCurrent on
// the raw pointer and may block there until a frame, a free image or a Signal call arrives.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>

#include "CorvathSdk.h"
#include "Orvane.h"
#include "interfaces/ImageHeader.h"
#include "platform/UniqueBstr.h"
#include "simboard/SimBoardControl.h"
#include "tests/module/ComTestSupport.h"
#include "tests/module/GrabberFixture.h"
#include "tests/support/BoundedWait.h"
#include "tests/support/DebugOutputListener.h"
#include "tests/support/ModulePath.h"
#include "tests/support/ScratchRegistryKey.h"
#include "tests/support/WaiterHandshake.h"

namespace {

using namespace orvane::test;
using orvane::ComPtr;

TEST_F(GrabberCardTest, AFailedInitializeAnswersTheMessageAndLeavesNoCardBehind)
{
    DebugOutputListener listener;
    ASSERT_EQ(SimBoard_SetBoards(nullptr, 0), 0);

    const HostCall failed = Initialize();
    EXPECT_EQ(failed.result, static_cast<HRESULT>(0x80020009));
    EXPECT_EQ(failed.error.description, L"Orvane - Board Initialization FAILED...");
    EXPECT_EQ(failed.error.source, L"Orvane.CorvathOrvane.1");
    EXPECT_TRUE(listener.Contains("Orvane - Loading Orvane")) << listener.Dump();

    // No card, and no pointer into one.
    EXPECT_EQ(grabber_->AllocateBuffers(2), E_UNEXPECTED);
    ComPtr<ICorvathTimeSourceProp> timeSource;
    ASSERT_EQ(grabber_.QueryTo(IID_ICorvathTimeSourceProp, timeSource), S_OK);
    LONG status = 9;
    EXPECT_EQ(timeSource->GetSynchronizationStatus(&status), S_OK);
    EXPECT_EQ(status, 9);

    // The board is back: the same object initialises now, nothing was left half open.
    ASSERT_EQ(SimBoard_Reset(), 0);
    UseProfile("orvane-640x480-60-vga.chp");
    EXPECT_EQ(Initialize().result, S_OK);
    EXPECT_EQ(SimBoard_GetCounter("boardsOpen"), 1);
    SHORT count = -1;
    EXPECT_EQ(grabber_->GetBufferCount(&count), S_OK);
    EXPECT_EQ(count, 0);
    // Only one card per object.
    EXPECT_EQ(Initialize().result, E_UNEXPECTED);
    EXPECT_EQ(SimBoard_GetCounter("boardsOpen"), 1);
}

TEST_F(GrabberCardTest, TheFinalReleaseClosesTheBoardOnlyWhenACardWasMade)
{
    grabber_.Reset();
    EXPECT_EQ(SimBoard_GetCounter("calls.eHD_OpenBoard"), 0);
    EXPECT_EQ(SimBoard_GetCounter("calls.eHD_CloseBoard"), 0);

    ASSERT_EQ(CoCreateInstance(CLSID_CorvathOrvane, nullptr, CLSCTX_INPROC_SERVER, IID_ICorvathGenericGrabber,
                               grabber_.PutVoid()),
              S_OK);
    UseProfile("orvane-640x480-60-vga.chp");
    ASSERT_EQ(Initialize().result, S_OK);
    EXPECT_EQ(SimBoard_GetCounter("boardsOpen"), 1);
    grabber_.Reset();
    EXPECT_EQ(SimBoard_GetCounter("boardsOpen"), 0);
    EXPECT_EQ(ModuleCanUnloadNow(), S_OK);
}

TEST_F(GrabberCardTest, GetCurrentAnswersOverrunExactlyWhenItHadToWait)
{
    UseProfile("orvane-640x480-60-vga.chp");
    StartPausedGrab(3);
    const std::string readEvent = FindOwnEventName("ReadEvent (");
    ASSERT_FALSE(readEvent.empty());

    // Nothing is ready: the read thread blocks until SignalReadEvent wakes it, with no image. The
    // wake is sent once, after the reader has reset the event on its way into the wait.
    ASSERT_TRUE(SetNamedEvent(readEvent));
    BoundedThread waker([&] {
        EXPECT_TRUE(WaitUntilWaiterResets(readEvent, 20000));
        grabber_->SignalReadEvent();
    });
    ULONG_PTR header = 77;
    const HostCall woken =
        OnHostThread("GetCurrent woken by SignalReadEvent", [&] { return grabber_->GetCurrent(&header); });
    EXPECT_EQ(woken.result, S_FALSE);
    EXPECT_EQ(woken.error.description, L"overrun");
    EXPECT_EQ(header, 0u);
    ASSERT_TRUE(waker.Join(20000));

    // Blocked again; the board resumes, once the reader waits, and fills the first queued image.
    ASSERT_TRUE(SetNamedEvent(readEvent));
    BoundedThread board([&] {
        EXPECT_TRUE(WaitUntilWaiterResets(readEvent, 20000));
        SimBoard_PauseProducer(0);
    });
    const HostCall filled =
        OnHostThread("GetCurrent waiting for a frame", [&] { return grabber_->GetCurrent(&header); });
    EXPECT_EQ(filled.result, S_FALSE);
    EXPECT_EQ(filled.error.description, L"overrun");
    ASSERT_NE(header, 0u);
    EXPECT_NE(reinterpret_cast<const ImageHeader*>(header)->pixels, nullptr);

    // A frame is waiting now: no wait, no overrun, no error object, the same image.
    ULONG_PTR again = 0;
    const HostCall ready = OnHostThread("GetCurrent with a frame ready", [&] { return grabber_->GetCurrent(&again); });
    EXPECT_EQ(ready.result, S_OK);
    EXPECT_FALSE(ready.error.present);
    EXPECT_EQ(again, header);

    EXPECT_EQ(grabber_->DisableGrab(), S_OK);
}

TEST_F(GrabberCardTest, GrabNextAnswersOverrunExactlyWhenItWaitedAndGotAnImage)
{
    UseProfile("orvane-640x480-60-vga.chp");
    StartPausedGrab(2);
    const std::string grabEvent = FindOwnEventName("GrabEvent (");
    ASSERT_FALSE(grabEvent.empty());

    // No free image: woken by SignalGrabEvent with the free list still empty, it queues nothing.
    ASSERT_TRUE(SetNamedEvent(grabEvent));
    BoundedThread waker([&] {
        EXPECT_TRUE(WaitUntilWaiterResets(grabEvent, 20000));
        grabber_->SignalGrabEvent();
    });
    const HostCall woken = OnHostThread("GrabNext woken by SignalGrabEvent", [&] { return grabber_->GrabNext(); });
    EXPECT_EQ(woken.result, S_OK);
    EXPECT_FALSE(woken.error.present);
    ASSERT_TRUE(waker.Join(20000));

    // A frame arrives and is read; giving it back, once the grab thread is on its way into the wait,
    // frees an image for it. The grab thread resets the event a moment before it looks at the free
    // list, so now and then the image is already there and it rightly takes it without waiting
    // (S_OK). Each round ends with the free list empty again; a module that never reports the wait
    // cannot pass every round.
    ASSERT_EQ(SimBoard_PauseProducer(0), 0);
    bool waited = false;
    for (int round = 0; round < 20 && !waited; ++round) {
        ULONG_PTR header = 0;
        OnHostThread("GetCurrent", [&] { return grabber_->GetCurrent(&header); });
        ASSERT_NE(header, 0u);
        ASSERT_TRUE(SetNamedEvent(grabEvent));
        BoundedThread reader([&] {
            EXPECT_TRUE(WaitUntilWaiterResets(grabEvent, 20000));
            grabber_->ReleaseCurrent();
        });
        const HostCall obtained =
            OnHostThread("GrabNext waiting for a free image", [&] { return grabber_->GrabNext(); });
        ASSERT_TRUE(reader.Join(20000));
        if (obtained.result == S_OK) {
            EXPECT_FALSE(obtained.error.present) << "no wait, no error object";
            continue;
        }
        waited = true;
        EXPECT_EQ(obtained.result, S_FALSE);
        EXPECT_EQ(obtained.error.description, L"overrun");
        EXPECT_EQ(obtained.error.source, L"Orvane.CorvathOrvane.1");
    }
    EXPECT_TRUE(waited) << "GrabNext never answered that it had waited";

    EXPECT_EQ(grabber_->DisableGrab(), S_OK);
}

TEST_F(GrabberCardTest, BufferCountsAreSignExtendedInAndCutToSixteenBitsOut)
{
    // Tiny frames, so tens of thousands of buffers fit in memory.
    UseProfile("orvane-640x480-60-vga.chp", 16, 16);
    ASSERT_EQ(Initialize().result, S_OK);
    ASSERT_EQ(grabber_->AllocateBuffers(5), S_OK);
    // A negative count stays negative and is ignored; it does not turn into 65531 buffers.
    EXPECT_EQ(grabber_->AllocateBuffers(-5), S_OK);
    SHORT count = 0;
    ASSERT_EQ(grabber_->GetBufferCount(&count), S_OK);
    EXPECT_EQ(count, 5);

    ASSERT_EQ(grabber_->AllocateBuffers(32767), S_OK);
    ASSERT_EQ(grabber_->GetBufferCount(&count), S_OK);
    // 32772 images: the host receives the low 16 bits.
    EXPECT_EQ(static_cast<USHORT>(count), 32772u & 0xFFFFu);
    EXPECT_EQ(grabber_->FreeBuffers(), S_OK);
    ASSERT_EQ(grabber_->GetBufferCount(&count), S_OK);
    EXPECT_EQ(count, 0);
}

}  // namespace
