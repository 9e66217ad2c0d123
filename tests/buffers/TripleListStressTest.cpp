// All four threads of a grab period at once, for many frames: a stand-in for the capture thread
// delivers frames, the grab thread queues free images, the read thread reads, releases and now and
// then deletes, and the control thread releases everything and wakes the others. Whatever the
// interleaving, no image may be lost, doubled or deleted twice, nobody may deadlock, and once the
// buffers exist the frame path must not touch the heap.
#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>

#include "tests/buffers/AllocationCounter.h"
#include "tests/buffers/TestList.h"
#include "tests/support/BoundedWait.h"

namespace {

using namespace orvane::test;

constexpr int kImages = 8;

// Lets the capture stand-in sleep until something was queued, the way the real one sleeps until
// the board reports a frame; costs no kernel object.
class Doorbell {
public:
    void Ring()
    {
        AcquireSRWLockExclusive(&lock_);
        ++rings_;
        ReleaseSRWLockExclusive(&lock_);
        WakeConditionVariable(&rung_);
    }
    void Await(std::uint32_t& seen)
    {
        AcquireSRWLockExclusive(&lock_);
        if (rings_ == seen) {
            SleepConditionVariableSRW(&rung_, &lock_, 1, 0);
        }
        seen = rings_;
        ReleaseSRWLockExclusive(&lock_);
    }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE rung_ = CONDITION_VARIABLE_INIT;
    std::uint32_t rings_ = 0;
};

struct Figures {
    std::atomic<int> moved{0};
    std::atomic<int> read{0};
    std::atomic<int> deleted{0};
    std::atomic<int> releaseAlls{0};
    std::atomic<int> badSnapshots{0};
    std::atomic<bool> done{false};
    AllocationCount allocations;
    double seconds = 0;
};

// Every image in exactly one list, each block used by at most one image, the counts matching the
// walk (which holds all three locks); no allocation. Returns the number of images, -1 if any of
// this does not hold.
int CountConsistently(TestList& list)
{
    std::array<bool, kImages> seen{};
    int images = 0;
    int counted = -1;
    bool consistent = true;
    list.ForEachImage([&](ImageListId, CImageWrapper* image) {
        if (counted < 0) {
            counted = list.ReadyListSize() + list.FreeListSize() + list.GrabListSize();
        }
        const int block = list.BlockIndex(image);
        consistent = consistent && block >= 0 && block < kImages && !seen[static_cast<size_t>(block)];
        if (consistent) {
            seen[static_cast<size_t>(block)] = true;
        }
        ++images;
    });
    return consistent && (images == counted || (images == 0 && counted < 0)) ? images : -1;
}

void RunFourThreads(TestList& list, int frames, int deleteEvery, bool countAllocations, Figures& figures)
{
    list.AllocateBuffers(kImages);
    list.PrepareGrab();
    Doorbell queued;
    orvane::UniqueKernelHandle start(CreateEventA(nullptr, TRUE, FALSE, nullptr));

    BoundedThread capture([&] {
        WaitForSingleObject(start.Get(), INFINITE);
        std::uint32_t random = 0x2545F491u;
        std::uint32_t seen = 0;
        while (figures.moved < frames) {
            if (list.GrabListEmpty() && list.FreeListSize() == 0) {
                queued.Await(seen);
                continue;
            }
            // The board names a block at random: queued or still free, it is delivered from where
            // its image is; one whose image is ready (or deleted) is nobody's to deliver.
            random = random * 1664525u + 1013904223u;
            const int block = static_cast<int>((random >> 16) % kImages);
            if (list.DeliverFilledBuffer(list.Block(block), list.FakeDescriptor(block)) != FilledImageSource::None) {
                ++figures.moved;
            }
        }
        figures.done = true;
    });
    BoundedThread grab([&] {
        WaitForSingleObject(start.Get(), INFINITE);
        while (!figures.done) {
            bool waited = false;
            if (list.GetFreeBuffer(waited) != nullptr) {
                queued.Ring();
            }
        }
    });
    BoundedThread reader([&] {
        WaitForSingleObject(start.Get(), INFINITE);
        while (!figures.done) {
            bool waited = false;
            ImageHeader* header = list.GetCurrent(waited);
            if (header == nullptr) {
                continue;
            }
            if (deleteEvery == 0 || ++figures.read % deleteEvery != 0) {
                list.ReleaseCurrent();
                continue;
            }
            // Only this thread deletes, so `header` is still alive; the read position is its
            // image or none (cleared by ReleaseAll meanwhile).
            void* pixels = header->pixels;
            const int before = list.counters.destroyed;
            list.DeleteCurrent();
            if (list.counters.destroyed != before) {
                ++figures.deleted;
                list.AddImage(pixels);
            }
        }
    });
    BoundedThread control([&] {
        WaitForSingleObject(start.Get(), INFINITE);
        for (int round = 1; !figures.done; ++round) {
            Sleep(1);
            if (round % 4 == 0) {
                list.ReleaseAll();
                ++figures.releaseAlls;
            }
            list.SignalGrabEvent();
            list.SignalReadEvent();
            // A deleted image is replaced right after, so one may be missing for a moment.
            const int images = CountConsistently(list);
            if (images > kImages || images < (deleteEvery > 0 ? kImages - 1 : kImages)) {
                ++figures.badSnapshots;
            }
        }
    });

    LARGE_INTEGER frequency{};
    LARGE_INTEGER begin{};
    LARGE_INTEGER end{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&begin);
    if (countAllocations) {
        StartCountingAllocations();
    }
    SetEvent(start.Get());
    const bool captureEnded = capture.Join(90000);
    if (countAllocations) {
        figures.allocations = StopCountingAllocations();
    }
    QueryPerformanceCounter(&end);
    figures.seconds = static_cast<double>(end.QuadPart - begin.QuadPart) / static_cast<double>(frequency.QuadPart);
    ASSERT_TRUE(captureEnded) << "frames stopped after " << figures.moved;
    // The grab and read threads may be asleep on their events: wake them until they end.
    ASSERT_TRUE(WaitUntil(10000, [&] {
        list.SignalGrabEvent();
        list.SignalReadEvent();
        return grab.Join(0) && reader.Join(0) && control.Join(0);
    }));
    list.FinishGrab();

    EXPECT_EQ(figures.moved, frames);
    EXPECT_EQ(figures.badSnapshots, 0);
    EXPECT_TRUE(list.GrabListEmpty());
    EXPECT_EQ(CountConsistently(list), kImages) << "every deleted image was replaced; nothing else may be missing";
    EXPECT_EQ(list.counters.destroyed, figures.deleted);
    EXPECT_EQ(list.counters.disposed, figures.deleted);
    list.ForEachImage([&](ImageListId, CImageWrapper* image) {
        // A descriptor only ever goes to the image whose block the board named.
        const BufferDescriptor* descriptor = static_cast<COrvaneImage*>(image)->Descriptor();
        EXPECT_TRUE(descriptor == nullptr || descriptor == list.FakeDescriptor(list.BlockIndex(image)));
    });
}

TEST(TripleListStress, HundredThousandFramesThroughFourThreadsLoseNothing)
{
    TestList list(kImages);
    Figures figures;
    // A thread stuck on a lock cannot be abandoned: past the bound the process ends, failing.
    RunBounded(120000, "the stress run", [&] { RunFourThreads(list, 100'000, 97, false, figures); });
    std::printf("stress: %d frames, %d deleted and replaced, %d ReleaseAll, %.2f s\n", figures.moved.load(),
                figures.deleted.load(), figures.releaseAlls.load(), figures.seconds);
    EXPECT_GT(figures.deleted, 0);
    EXPECT_GT(figures.releaseAlls, 0);
}

TEST(TripleListStress, TheFramePathAllocatesNothingOnceBuffersExist)
{
    // The counter must see what it is meant to see, or the zeros below prove nothing.
    StartCountingAllocations();
    int* volatile probe = new int(7);
    delete probe;
    const AllocationCount counted = StopCountingAllocations();
    ASSERT_EQ(counted.allocations, 1);
    ASSERT_EQ(counted.deallocations, 1);

    TestList list(kImages);
    Figures figures;
    RunBounded(60000, "the allocation run", [&] { RunFourThreads(list, 10'000, 0, true, figures); });
    std::printf("frame path: %d frames, %lld allocations, %lld deallocations, %.2f s\n", figures.moved.load(),
                figures.allocations.allocations, figures.allocations.deallocations, figures.seconds);
    EXPECT_EQ(figures.allocations.allocations, 0);
    EXPECT_EQ(figures.allocations.deallocations, 0);
}

}  // namespace
