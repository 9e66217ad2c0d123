#include "tests/support/BoundedWait.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace orvane::test {

bool WaitSignalled(HANDLE object, DWORD milliseconds)
{
    return WaitForSingleObject(object, milliseconds) == WAIT_OBJECT_0;
}

void RunBounded(DWORD milliseconds, const std::string& what, std::function<void()> work)
{
    BoundedThread thread(std::move(work));
    if (!thread.Join(milliseconds)) {
        std::fprintf(stderr, "DEADLOCK: %s did not finish within %lu ms\n", what.c_str(),
                     static_cast<unsigned long>(milliseconds));
        std::fflush(stderr);
        ADD_FAILURE() << what << " did not finish within " << milliseconds << " ms";
        TerminateProcess(GetCurrentProcess(), 3);
    }
}

bool WaitUntil(DWORD milliseconds, const std::function<bool()>& condition)
{
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    for (;;) {
        if (condition()) {
            return true;
        }
        if (GetTickCount64() >= deadline) {
            return false;
        }
        Sleep(2);
    }
}

BoundedThread::BoundedThread(std::function<void()> work) : work_(std::move(work))
{
    thread_ = CreateThread(nullptr, 0, &BoundedThread::Run, this, 0, nullptr);
    if (thread_ == nullptr) {
        ADD_FAILURE() << "CreateThread failed: " << GetLastError();
    }
}

BoundedThread::~BoundedThread()
{
    if (thread_ != nullptr) {
        if (!joined_ && WaitForSingleObject(thread_, 10000) != WAIT_OBJECT_0) {
            std::fprintf(stderr, "DEADLOCK: a test thread did not end within 10 s\n");
            std::fflush(stderr);
            TerminateProcess(GetCurrentProcess(), 3);
        }
        CloseHandle(thread_);
    }
}

bool BoundedThread::Join(DWORD milliseconds)
{
    if (thread_ == nullptr) {
        return true;
    }
    joined_ = WaitForSingleObject(thread_, milliseconds) == WAIT_OBJECT_0;
    return joined_;
}

bool BoundedThread::JoinNudging(DWORD milliseconds, const std::function<void()>& nudge)
{
    return WaitUntil(milliseconds, [&] {
        nudge();
        return Join(0);
    });
}

DWORD WINAPI BoundedThread::Run(LPVOID self)
{
    static_cast<BoundedThread*>(self)->work_();
    return 0;
}

}  // namespace orvane::test
