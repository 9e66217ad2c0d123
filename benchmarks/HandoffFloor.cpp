#include "benchmarks/HandoffFloor.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <deque>

#include "platform/OwnedHandle.h"

namespace orvane::bench {

namespace {

constexpr DWORD kFrameWaitMilliseconds = 200;  // the capture thread's wait, as the module's
constexpr DWORD kNoBlockWaitMilliseconds = 5;  // the producer's wait for a block, as the board's
constexpr size_t kHeaderBytes = 24;

class Lock {
public:
    Lock() { InitializeCriticalSection(&section_); }
    ~Lock() { DeleteCriticalSection(&section_); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    void Enter() { EnterCriticalSection(&section_); }
    void Leave() { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

class Held {
public:
    explicit Held(Lock& lock) : lock_(lock) { lock_.Enter(); }
    ~Held() { lock_.Leave(); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;

private:
    Lock& lock_;
};

LONGLONG Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// A list of image numbers with its own lock and a count read without it, as the module's lists.
struct ImageList {
    Lock lock;
    std::deque<int> images;
    std::atomic<int> count{0};

    void PushBack(int image)
    {
        images.push_back(image);
        ++count;
    }
    int PopFront()
    {
        const int image = images.front();
        images.pop_front();
        --count;
        return image;
    }
    bool Remove(int image)
    {
        const auto found = std::find(images.begin(), images.end(), image);
        if (found == images.end()) {
            return false;
        }
        images.erase(found);
        --count;
        return true;
    }
};

struct Floor {
    std::atomic<bool> running{true};
    // The board: blocks it holds, blocks filled and not yet taken, one block per image.
    Lock boardLock;
    std::deque<int> held;
    std::deque<int> filled;
    std::vector<std::array<unsigned char, 64>> blocks;
    std::vector<LONGLONG> fillTime;
    DWORD nextFrame = 0;
    orvane::UniqueKernelHandle frameEvent{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    orvane::UniqueKernelHandle blockReturned{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    // The three lists, locked in the order ready, free, grab, and the two events with their locks.
    ImageList ready;
    ImageList free;
    ImageList grab;
    Lock readEventLock;
    Lock grabEventLock;
    std::atomic<int> readWaiters{0};
    std::atomic<int> grabWaiters{0};
    orvane::UniqueKernelHandle readEvent{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    orvane::UniqueKernelHandle grabEvent{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    // The read thread's figures.
    LONGLONG frequency = 1;
    unsigned long long frames = 0;
    std::vector<double> latency;
};

// The module's event protocol: a thread about to wait looks at its list, resets the event and
// registers, all under the event lock; whoever changed the list sets the event only for a thread
// that waits.
void Wake(Lock& eventLock, HANDLE event, const std::atomic<int>& waiters)
{
    Held held(eventLock);
    if (waiters > 0) {
        SetEvent(event);
    }
}

// True when the list was still empty after the wait.
bool WaitWhileEmpty(Floor& floor, Lock& eventLock, HANDLE event, std::atomic<int>& waiters, const ImageList& list)
{
    bool empty = false;
    {
        Held held(eventLock);
        empty = list.count == 0;
        if (empty) {
            ResetEvent(event);
            ++waiters;
        }
    }
    if (empty) {
        WaitForSingleObject(event, kFrameWaitMilliseconds);
        --waiters;
    }
    return list.count == 0 || !floor.running;
}

DWORD WINAPI Producer(LPVOID argument)
{
    Floor& floor = *static_cast<Floor*>(argument);
    while (floor.running) {
        int block = -1;
        DWORD number = 0;
        {
            Held held(floor.boardLock);
            if (!floor.held.empty()) {
                block = floor.held.front();
                floor.held.pop_front();
                number = floor.nextFrame++;
            }
        }
        if (block < 0) {
            WaitForSingleObject(floor.blockReturned.Get(), kNoBlockWaitMilliseconds);
            continue;
        }
        // The frame header: time code, frame number, mark, format, depth, size.
        unsigned char header[kHeaderBytes] = {};
        std::memcpy(header + 4, &number, sizeof number);
        std::memcpy(header + 8, "OHDF", 4);
        std::memcpy(floor.blocks[static_cast<size_t>(block)].data(), header, sizeof header);
        const LONGLONG filledAt = Now();
        {
            Held held(floor.boardLock);
            floor.fillTime[static_cast<size_t>(block)] = filledAt;
            floor.filled.push_back(block);
        }
        SetEvent(floor.frameEvent.Get());
    }
    return 0;
}

DWORD WINAPI Capture(LPVOID argument)
{
    Floor& floor = *static_cast<Floor*>(argument);
    while (floor.running) {
        if (WaitForSingleObject(floor.frameEvent.Get(), kFrameWaitMilliseconds) != WAIT_OBJECT_0) {
            continue;
        }
        for (;;) {
            int block = -1;
            {
                Held held(floor.boardLock);
                if (floor.filled.empty()) {
                    break;
                }
                block = floor.filled.front();
                floor.filled.pop_front();
            }
            bool moved = false;
            {
                Held ready(floor.ready.lock);
                {
                    Held grab(floor.grab.lock);
                    if (!floor.grab.images.empty() && floor.grab.images.front() == block) {
                        floor.grab.PopFront();
                        moved = true;
                    }
                }
                if (!moved) {
                    Held free(floor.free.lock);
                    Held grab(floor.grab.lock);
                    moved = floor.grab.Remove(block) || floor.free.Remove(block);
                }
                if (moved) {
                    floor.ready.PushBack(block);
                }
            }
            if (moved) {
                Wake(floor.readEventLock, floor.readEvent.Get(), floor.readWaiters);
            }
        }
    }
    return 0;
}

DWORD WINAPI Reader(LPVOID argument)
{
    Floor& floor = *static_cast<Floor*>(argument);
    while (floor.running) {
        if (WaitWhileEmpty(floor, floor.readEventLock, floor.readEvent.Get(), floor.readWaiters, floor.ready)) {
            continue;
        }
        int image = -1;
        {
            Held ready(floor.ready.lock);
            image = floor.ready.images.front();
        }
        const LONGLONG now = Now();
        LONGLONG filledAt = 0;
        {
            Held held(floor.boardLock);
            filledAt = floor.fillTime[static_cast<size_t>(image)];
        }
        floor.latency.push_back(static_cast<double>(now - filledAt) * 1e6 / static_cast<double>(floor.frequency));
        ++floor.frames;
        // Released: into the free list first, then the block back to the board.
        {
            Held ready(floor.ready.lock);
            floor.ready.PopFront();
            Held free(floor.free.lock);
            floor.free.PushBack(image);
        }
        Wake(floor.grabEventLock, floor.grabEvent.Get(), floor.grabWaiters);
        {
            Held held(floor.boardLock);
            floor.held.push_back(image);
        }
        SetEvent(floor.blockReturned.Get());
    }
    return 0;
}

DWORD WINAPI Grabber(LPVOID argument)
{
    Floor& floor = *static_cast<Floor*>(argument);
    while (floor.running) {
        if (WaitWhileEmpty(floor, floor.grabEventLock, floor.grabEvent.Get(), floor.grabWaiters, floor.free)) {
            continue;
        }
        Held free(floor.free.lock);
        Held grab(floor.grab.lock);
        if (!floor.free.images.empty()) {
            floor.grab.PushBack(floor.free.PopFront());
        }
    }
    return 0;
}

}  // namespace

FloorResult RunHandoffFloor(int buffers, double seconds)
{
    Floor floor;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    floor.frequency = frequency.QuadPart;
    floor.blocks.assign(static_cast<size_t>(buffers), {});
    floor.fillTime.assign(static_cast<size_t>(buffers), 0);
    floor.latency.reserve(1 << 20);
    // As at EnableGrab: the board holds every block, every image is free.
    for (int i = 0; i < buffers; ++i) {
        floor.held.push_back(i);
        floor.free.PushBack(i);
    }
    const LONGLONG started = Now();
    orvane::UniqueKernelHandle threads[] = {
        orvane::UniqueKernelHandle(CreateThread(nullptr, 0, &Reader, &floor, 0, nullptr)),
        orvane::UniqueKernelHandle(CreateThread(nullptr, 0, &Grabber, &floor, 0, nullptr)),
        orvane::UniqueKernelHandle(CreateThread(nullptr, 0, &Capture, &floor, 0, nullptr)),
        orvane::UniqueKernelHandle(CreateThread(nullptr, 0, &Producer, &floor, 0, nullptr))};
    Sleep(static_cast<DWORD>(seconds * 1000));
    floor.running = false;
    const LONGLONG stopped = Now();
    for (auto& thread : threads) {
        if (thread) {
            SetEvent(floor.blockReturned.Get());
            SetEvent(floor.frameEvent.Get());
            SetEvent(floor.readEvent.Get());
            SetEvent(floor.grabEvent.Get());
            WaitForSingleObject(thread.Get(), 5000);
        }
    }
    FloorResult result;
    result.seconds = static_cast<double>(stopped - started) / static_cast<double>(frequency.QuadPart);
    result.frames = floor.frames;
    result.latencyMicroseconds = std::move(floor.latency);
    return result;
}

}  // namespace orvane::bench
