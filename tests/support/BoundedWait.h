#pragma once
// Every wait in a test has a bound: a deadlock must fail the test, not hang the run.
#include <windows.h>

#include <functional>
#include <string>

namespace orvane::test {

// Waits for a kernel object; true when it was signalled within the bound.
bool WaitSignalled(HANDLE object, DWORD milliseconds);

// Runs `work` on a thread of its own and waits at most `milliseconds` for it. When the bound is
// passed, the test has deadlocked: the failure is printed and the whole process ends with exit
// code 3, since a thread stuck on a lock can neither be joined nor safely abandoned.
void RunBounded(DWORD milliseconds, const std::string& what, std::function<void()> work);

// Polls `condition` every few milliseconds until it holds or the bound passes.
bool WaitUntil(DWORD milliseconds, const std::function<bool()>& condition);

// A thread whose end a test can wait for with a bound.
class BoundedThread {
public:
    explicit BoundedThread(std::function<void()> work);
    ~BoundedThread();
    BoundedThread(const BoundedThread&) = delete;
    BoundedThread& operator=(const BoundedThread&) = delete;

    // True when the thread ended within the bound.
    bool Join(DWORD milliseconds);
    // The same, calling `nudge` again and again meanwhile: for a thread that may block again after
    // any single wake-up (a host thread calling GrabNext in a loop until told to stop).
    bool JoinNudging(DWORD milliseconds, const std::function<void()>& nudge);
    HANDLE Handle() const { return thread_; }

private:
    static DWORD WINAPI Run(LPVOID self);
    std::function<void()> work_;
    HANDLE thread_ = nullptr;
    bool joined_ = false;
};

}  // namespace orvane::test
