#include "benchmarks/HandoffFloor.h"

#include <atomic>
#include <deque>

#include "platform/OwnedHandle.h"

namespace orvane::bench {

namespace {

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

struct Chain {
    std::atomic<bool> running{true};
    Lock lock;  // one lock for the three queues: the chain's cost is the handoffs
    std::deque<int> queued;  // given to the producer
    std::deque<int> filled;  // filled, not yet seen by the capture thread
    std::deque<int> ready;   // for the read thread
    std::vector<LONGLONG> fillTime;
    orvane::UniqueKernelHandle queuedEvent{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    orvane::UniqueKernelHandle frameEvent{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    orvane::UniqueKernelHandle readEvent{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    LONGLONG frequency = 1;
    unsigned long long frames = 0;
    std::vector<double> latency;
};

bool Pop(Chain& chain, std::deque<int>& queue, int& index)
{
    Held held(chain.lock);
    if (queue.empty()) {
        return false;
    }
    index = queue.front();
    queue.pop_front();
    return true;
}

DWORD WINAPI Producer(LPVOID argument)
{
    Chain& chain = *static_cast<Chain*>(argument);
    while (chain.running) {
        int index = 0;
        if (!Pop(chain, chain.queued, index)) {
            WaitForSingleObject(chain.queuedEvent.Get(), 200);
            continue;
        }
        {
            Held held(chain.lock);
            chain.fillTime[static_cast<size_t>(index)] = Now();
            chain.filled.push_back(index);
        }
        SetEvent(chain.frameEvent.Get());
    }
    return 0;
}

DWORD WINAPI Capture(LPVOID argument)
{
    Chain& chain = *static_cast<Chain*>(argument);
    while (chain.running) {
        if (WaitForSingleObject(chain.frameEvent.Get(), 200) != WAIT_OBJECT_0) {
            continue;
        }
        int index = 0;
        while (Pop(chain, chain.filled, index)) {
            {
                Held held(chain.lock);
                chain.ready.push_back(index);
            }
            SetEvent(chain.readEvent.Get());
        }
    }
    return 0;
}

DWORD WINAPI Reader(LPVOID argument)
{
    Chain& chain = *static_cast<Chain*>(argument);
    while (chain.running) {
        WaitForSingleObject(chain.readEvent.Get(), 200);
        int index = 0;
        LONGLONG filledAt = 0;
        {
            Held held(chain.lock);
            if (chain.ready.empty()) {
                ResetEvent(chain.readEvent.Get());
                continue;
            }
            index = chain.ready.front();
            chain.ready.pop_front();
            filledAt = chain.fillTime[static_cast<size_t>(index)];
        }
        const LONGLONG now = Now();
        chain.latency.push_back(static_cast<double>(now - filledAt) * 1e6 / static_cast<double>(chain.frequency));
        ++chain.frames;
        {
            Held held(chain.lock);
            chain.queued.push_back(index);
        }
        SetEvent(chain.queuedEvent.Get());
    }
    return 0;
}

}  // namespace

FloorResult RunHandoffFloor(int buffers, double seconds)
{
    Chain chain;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    chain.frequency = frequency.QuadPart;
    chain.fillTime.assign(static_cast<size_t>(buffers), 0);
    chain.latency.reserve(1 << 20);
    for (int i = 0; i < buffers; ++i) {
        chain.queued.push_back(i);
    }
    const LONGLONG started = Now();
    orvane::UniqueKernelHandle threads[] = {orvane::UniqueKernelHandle(CreateThread(nullptr, 0, &Reader, &chain, 0, nullptr)),
                                    orvane::UniqueKernelHandle(CreateThread(nullptr, 0, &Capture, &chain, 0, nullptr)),
                                    orvane::UniqueKernelHandle(CreateThread(nullptr, 0, &Producer, &chain, 0, nullptr))};
    Sleep(static_cast<DWORD>(seconds * 1000));
    chain.running = false;
    const LONGLONG stopped = Now();
    for (auto& thread : threads) {
        if (thread) {
            SetEvent(chain.queuedEvent.Get());
            SetEvent(chain.frameEvent.Get());
            SetEvent(chain.readEvent.Get());
            WaitForSingleObject(thread.Get(), 5000);
        }
    }
    FloorResult result;
    result.seconds = static_cast<double>(stopped - started) / static_cast<double>(frequency.QuadPart);
    result.frames = chain.frames;
    result.latencyMicroseconds = std::move(chain.latency);
    return result;
}

}  // namespace orvane::bench
