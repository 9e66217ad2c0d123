#pragma once
// A turn at something the platform offers once per Wine session, held by one test process at a
// time: the debug output buffer (one reader only), the module's class registration (registering
// rewrites the class key while other tests create objects from it). Test processes that CTest runs
// side by side wait here, bounded, instead of disturbing each other.
#include <windows.h>

#include "platform/OwnedHandle.h"

namespace orvane::test {

class TestProcessLock {
public:
    // `name` is a kernel object name shared by every test process of the session.
    explicit TestProcessLock(const char* name, DWORD milliseconds = 180000);
    ~TestProcessLock();
    TestProcessLock(const TestProcessLock&) = delete;
    TestProcessLock& operator=(const TestProcessLock&) = delete;

    // False when the turn did not come within the bound.
    bool Held() const { return held_; }

private:
    UniqueKernelHandle mutex_;
    bool held_ = false;
};

// The lock names.
inline constexpr char kDebugOutputTurn[] = "OrvaneTests DebugOutput";
inline constexpr char kRegistrationTurn[] = "OrvaneTests Registration";

}  // namespace orvane::test
