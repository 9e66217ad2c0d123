// The list operations one at a time, on one thread unless a test is about waking a waiter.
#include <gtest/gtest.h>
#include <windows.h>

#include <regex>
#include <string>
#include <vector>

#include "tests/buffers/TestList.h"
#include "tests/support/BoundedWait.h"
#include "tests/support/WaiterHandshake.h"

namespace {

using namespace orvane::test;
using Blocks = std::vector<int>;

// Block numbers of the images in one list, in list order.
Blocks In(TestList& list, ImageListId which)
{
    Blocks blocks;
    list.ForEachImage([&](ImageListId id, CImageWrapper* image) {
        if (id == which) {
            blocks.push_back(list.BlockIndex(image));
        }
    });
    return blocks;
}
constexpr ImageListId Ready = ImageListId::Ready;
constexpr ImageListId Free = ImageListId::Free;
constexpr ImageListId Grab = ImageListId::Grab;

void Queue(TestList& list, int images)
{
    for (int i = 0; i < images; ++i) {
        bool waited = true;
        ASSERT_NE(list.GetFreeBuffer(waited), nullptr);
        EXPECT_FALSE(waited);
    }
}

// Reads a list's event through its name, as any process could; `reset` clears it afterwards.
bool Signalled(const std::string& name, bool reset = false)
{
    HANDLE event = OpenEventA(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, name.c_str());
    const bool signalled = event != nullptr && WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
    if (event != nullptr && reset) {
        ResetEvent(event);
    }
    if (event != nullptr) {
        CloseHandle(event);
    }
    return signalled;
}

TEST(TripleList, EachListNamesItsOwnManualResetEvents)
{
    TestList first;
    TestList second;
    const std::regex pattern(R"(^(Read|Grab)Event \((\d+\.\d{6})\)$)");
    std::smatch read;
    std::smatch grab;
    ASSERT_TRUE(std::regex_match(first.ReadEventName(), read, pattern)) << first.ReadEventName();
    ASSERT_TRUE(std::regex_match(first.GrabEventName(), grab, pattern)) << first.GrabEventName();
    EXPECT_EQ(read[1], "Read");
    EXPECT_EQ(grab[1], "Grab");
    EXPECT_EQ(read[2], grab[2]) << "one counter reading names both";
    EXPECT_NE(first.ReadEventName(), second.ReadEventName());

    EXPECT_FALSE(Signalled(first.ReadEventName()));
    EXPECT_FALSE(Signalled(first.GrabEventName()));
    first.SignalReadEvent();
    first.SignalGrabEvent();
    EXPECT_TRUE(Signalled(first.ReadEventName()));
    EXPECT_TRUE(Signalled(first.ReadEventName())) << "a wait does not consume a manual-reset event";
    EXPECT_TRUE(Signalled(first.GrabEventName()));
    EXPECT_FALSE(Signalled(second.ReadEventName()));
}

TEST(TripleList, ImagesCycleOldestFirstAndTheReadPositionFollowsReleases)
{
    TestList list;
    list.AllocateBuffers(4);
    Queue(list, 3);
    EXPECT_EQ(In(list, Grab), (Blocks{0, 1, 2}));
    EXPECT_EQ(list.GetBufferCount(), 1) << "queued images are not counted";
    EXPECT_TRUE(list.FrameCaptured());
    EXPECT_TRUE(list.FrameCaptured());
    EXPECT_EQ(In(list, Ready), (Blocks{0, 1}));
    EXPECT_EQ(list.GetBufferCount(), 3);
    EXPECT_EQ(list.ReadyCount(), 2);
    EXPECT_EQ(list.MaxReadyCount(), 2);

    bool waited = true;
    ImageHeader* current = list.GetCurrent(waited);
    ASSERT_NE(current, nullptr);
    EXPECT_FALSE(waited);
    EXPECT_EQ(current->pixels, list.Block(0));
    EXPECT_EQ(list.GetCurrent(waited), current) << "the same image until it is released";

    Signalled(list.GrabEventName(), true);
    list.ReleaseCurrent();
    EXPECT_FALSE(Signalled(list.GrabEventName())) << "no grab thread waits: nothing to set";
    EXPECT_EQ(In(list, Free), (Blocks{3, 0}));
    ASSERT_NE(list.CurrentImage(), nullptr) << "the read position moves on to the next ready image";
    EXPECT_EQ(list.CurrentImage()->GetImage()->pixels, list.Block(1));

    list.DeleteCurrent();
    EXPECT_EQ(list.counters.disposed, 1);
    EXPECT_EQ(list.counters.destroyed, 1);
    EXPECT_EQ(In(list, Ready), Blocks{});
    EXPECT_EQ(list.CurrentImage(), nullptr);
    EXPECT_EQ(list.ReadyCount(), 2) << "the counter follows FrameCaptured only";

    // No read position: nothing changes and nobody is woken.
    Signalled(list.GrabEventName(), true);
    list.ReleaseCurrent();
    list.DeleteCurrent();
    EXPECT_FALSE(Signalled(list.GrabEventName()));
    EXPECT_EQ(In(list, Free), (Blocks{3, 0}));
    EXPECT_EQ(list.counters.destroyed, 1);
}

TEST(TripleList, FrameCapturedStampsFramesButNotThoseWithoutPixels)
{
    TestList list;
    CImageWrapper* images[] = {new CountingImage(nullptr, list.counters), new CountingImage(list.Block(5), list.counters)};
    images[0]->GetImage()->seconds = -1;
    images[1]->GetImage()->seconds = -1;
    ASSERT_EQ(list.AppendFreeImages(images, 2), 2);
    Queue(list, 2);
    EXPECT_TRUE(list.FrameCaptured());
    EXPECT_TRUE(list.FrameCaptured());
    EXPECT_EQ(images[0]->GetImage()->seconds, -1) << "a frame without pixels moves unstamped";
    const ImageHeader& stamped = *images[1]->GetImage();
    EXPECT_GT(stamped.seconds, 1'600'000'000);
    EXPECT_LT(stamped.milliseconds, 1000);
    EXPECT_LT(stamped.microseconds, 1000);
    EXPECT_EQ(list.ReadyListSize(), 2);

    Signalled(list.ReadEventName(), true);
    EXPECT_FALSE(list.FrameCaptured());
    EXPECT_TRUE(Signalled(list.ReadEventName())) << "the reader is woken even when nothing moved";
    EXPECT_EQ(list.ReadyListSize(), 2);
}

TEST(TripleList, BlockedWaitersWakeOnSignalsAndOnNewImages)
{
    TestList list;
    CImageWrapper* freeImage = nullptr;
    ImageHeader* readyHeader = nullptr;
    bool grabWaited = false;
    bool readWaited = false;
    // Each waiter resets its event on the way into the wait: set it first, and its fall says the
    // waiter is committed to waiting.
    const auto waiting = [](const std::string& event) { return WaitUntilWaiterResets(event, 5000); };
    {
        ASSERT_TRUE(SetNamedEvent(list.GrabEventName()));
        ASSERT_TRUE(SetNamedEvent(list.ReadEventName()));
        BoundedThread grabber([&] { freeImage = list.GetFreeBuffer(grabWaited); });
        BoundedThread reader([&] { readyHeader = list.GetCurrent(readWaited); });
        ASSERT_TRUE(waiting(list.GrabEventName()));
        ASSERT_TRUE(waiting(list.ReadEventName()));
        list.SignalGrabEvent();
        list.SignalReadEvent();
        ASSERT_TRUE(grabber.Join(5000));
        ASSERT_TRUE(reader.Join(5000));
    }
    EXPECT_TRUE(freeImage == nullptr && grabWaited) << "woken with nothing there: none, but it waited";
    EXPECT_TRUE(readyHeader == nullptr && readWaited);

    list.AllocateBuffers(1);
    Queue(list, 1);
    {
        ASSERT_TRUE(SetNamedEvent(list.ReadEventName()));
        BoundedThread reader([&] { readyHeader = list.GetCurrent(readWaited); });
        ASSERT_TRUE(waiting(list.ReadEventName()));
        EXPECT_FALSE(reader.Join(0));
        EXPECT_EQ(list.DeliverFilledBuffer(list.Block(0), list.FakeDescriptor(0)), FilledImageSource::Queued);
        ASSERT_TRUE(reader.Join(5000));
    }
    ASSERT_NE(readyHeader, nullptr);
    EXPECT_TRUE(readWaited);
    {
        ASSERT_TRUE(SetNamedEvent(list.GrabEventName()));
        BoundedThread grabber([&] { freeImage = list.GetFreeBuffer(grabWaited); });
        ASSERT_TRUE(waiting(list.GrabEventName()));
        EXPECT_FALSE(grabber.Join(0));
        list.ReleaseCurrent();
        ASSERT_TRUE(grabber.Join(5000));
    }
    ASSERT_NE(freeImage, nullptr);
    EXPECT_EQ(freeImage->GetImage(), readyHeader);
    EXPECT_TRUE(grabWaited);
}

TEST(TripleList, ReleaseAllPrepareGrabAndFinishGrabMoveWholeLists)
{
    TestList list;
    list.AllocateBuffers(5);
    Queue(list, 3);
    EXPECT_TRUE(list.FrameCaptured());
    EXPECT_TRUE(list.FrameCaptured());
    bool waited = false;
    list.GetCurrent(waited);
    Signalled(list.GrabEventName(), true);
    list.ReleaseAll();
    EXPECT_TRUE(Signalled(list.GrabEventName()));
    EXPECT_EQ(In(list, Free), (Blocks{3, 4, 0, 1}));
    EXPECT_EQ(list.CurrentImage(), nullptr);
    EXPECT_EQ(list.FrameCounts().Lost(FrameLoss::Unread), 1) << "the one after the current was never read";

    // Stopping: an image queued but never filled is no frame; it goes back to the free list.
    Signalled(list.ReadEventName(), true);
    list.FinishGrab();
    EXPECT_EQ(In(list, Free), (Blocks{3, 4, 0, 1, 2}));
    EXPECT_TRUE(list.GrabListEmpty());
    EXPECT_FALSE(Signalled(list.ReadEventName())) << "no reader is woken for it";

    // Starting: what is queued or ready goes back to the free list unstamped and wakes nobody;
    // the frame the host holds stays its current image.
    Queue(list, 3);
    list.ForEachImage([](ImageListId, CImageWrapper* image) { image->GetImage()->seconds = -1; });
    EXPECT_TRUE(list.FrameCaptured());
    EXPECT_TRUE(list.FrameCaptured());
    ImageHeader* held = list.GetCurrent(waited);
    ASSERT_NE(held, nullptr);
    Signalled(list.ReadEventName(), true);
    list.PrepareGrab();
    EXPECT_EQ(list.TotalBufferCount(), 5);
    EXPECT_EQ(list.MaxReadyCount(), 0);
    EXPECT_EQ(In(list, Ready), (Blocks{3}));
    EXPECT_EQ(In(list, Free), (Blocks{1, 2, 0, 4}));
    EXPECT_EQ(list.GetCurrent(waited), held);
    EXPECT_FALSE(Signalled(list.ReadEventName()));
    EXPECT_EQ(list.FrameCounts().Lost(FrameLoss::Unread), 2);
    list.ForEachImage([&](ImageListId, CImageWrapper* image) {
        const int block = list.BlockIndex(image);
        EXPECT_EQ(image->GetImage()->seconds == -1, block != 3 && block != 4) << "only delivered frames are stamped";
    });
    // Released, it joins the others; a read position the host was never handed is no held frame.
    list.ReleaseCurrent();
    EXPECT_EQ(In(list, Free), (Blocks{1, 2, 0, 4, 3}));
    Queue(list, 2);
    list.FrameCaptured();
    list.FrameCaptured();
    list.GetCurrent(waited);
    list.ReleaseCurrent();
    list.PrepareGrab();
    EXPECT_EQ(In(list, Ready), Blocks{});
    EXPECT_EQ(list.CurrentImage(), nullptr);
    Queue(list, 1);
    list.FrameCaptured();
    EXPECT_EQ(list.MaxReadyCount(), 1);
}

TEST(TripleList, FreeBuffersSparesQueuedImagesWhichGoWithTheList)
{
    ImageCounters counters;
    {
        TestList list(16, &counters);
        list.AllocateBuffers(5);
        Queue(list, 3);
        list.FrameCaptured();
        bool waited = false;
        list.GetCurrent(waited);
        list.FreeBuffers();
        EXPECT_EQ(counters.disposed, 3);
        EXPECT_EQ(counters.destroyed, 3);
        EXPECT_EQ(list.CurrentImage(), nullptr);
        EXPECT_EQ(In(list, Grab), (Blocks{1, 2}));
        EXPECT_EQ(list.GetBufferCount(), 0);
    }
    EXPECT_EQ(counters.destroyed, 5);
    EXPECT_EQ(counters.disposed, 5);
}

// Filled buffers reach the ready list in the order the board filled them, from wherever their
// image is: queued (as a rule, the first one) or still free when the grab thread is behind.
TEST(TripleList, AFilledBufferIsDeliveredFromTheGrabOrTheFreeList)
{
    TestList list;
    list.AllocateBuffers(5);
    Queue(list, 3);
    struct Step {
        int block;
        int descriptor;
        FilledImageSource source;
    };
    const Step steps[] = {
        {0, 10, FilledImageSource::Queued},  // the first queued image
        {2, 12, FilledImageSource::Queued},  // one further back
        {4, 14, FilledImageSource::Free},    // not queued yet
        {4, 15, FilledImageSource::None},    // already ready: not the board's to fill
        {9, 11, FilledImageSource::None},    // no image has these pixels
    };
    for (const Step& step : steps) {
        EXPECT_EQ(list.DeliverFilledBuffer(list.Block(step.block), list.FakeDescriptor(step.descriptor)), step.source)
            << step.block;
    }
    EXPECT_EQ(list.DeliverFilledBuffer(nullptr, list.FakeDescriptor(1)), FilledImageSource::None);
    EXPECT_EQ(In(list, Ready), (Blocks{0, 2, 4}));
    EXPECT_EQ(In(list, Grab), (Blocks{1}));
    EXPECT_EQ(In(list, Free), (Blocks{3}));
    EXPECT_EQ(list.ReadyCount(), 3);
    EXPECT_EQ(list.FrameCounts().Captured(), 3);
    list.ForEachImage([&](ImageListId id, CImageWrapper* image) {
        EXPECT_EQ(image->GetImage()->seconds > 1'600'000'000, id == Ready) << "delivered frames are stamped";
    });

    // The descriptor travels with the image and leaves it when the image leaves the ready list.
    bool waited = false;
    list.GetCurrent(waited);
    EXPECT_EQ(list.CurrentDescriptor(), list.FakeDescriptor(10));
    EXPECT_EQ(list.ReleaseCurrentImage(), list.FakeDescriptor(10));
    EXPECT_EQ(In(list, Free), (Blocks{3, 0}));
    std::vector<BufferDescriptor*> taken;
    list.ReleaseAllImages([&](BufferDescriptor* descriptor) { taken.push_back(descriptor); });
    EXPECT_EQ(taken, (std::vector<BufferDescriptor*>{list.FakeDescriptor(12), list.FakeDescriptor(14)}));
    list.ForEachImage([](ImageListId, CImageWrapper* image) {
        EXPECT_EQ(static_cast<COrvaneImage*>(image)->Descriptor(), nullptr);
    });

    // The image the board took from the free list counts as queued by the next call that finds no
    // free image: it answers at once instead of waiting for an image the board already used.
    TestList one;
    one.AllocateBuffers(1);
    ASSERT_EQ(one.DeliverFilledBuffer(one.Block(0), one.FakeDescriptor(0)), FilledImageSource::Free);
    bool waitedForImage = true;
    bool queuedByBoard = false;
    EXPECT_EQ(one.QueueFreeImage(waitedForImage, queuedByBoard), nullptr);
    EXPECT_TRUE(queuedByBoard);
    EXPECT_FALSE(waitedForImage);

    // Linking an image into a second list would corrupt both.
    CImageWrapper* again[] = {nullptr, nullptr};
    list.ForEachImage([&](ImageListId, CImageWrapper* image) { again[0] = image; });
    EXPECT_EQ(list.AppendFreeImages(again, 2), 0);
}

}  // namespace
