#include "tests/support/TestProcessLock.h"

namespace orvane::test {

TestProcessLock::TestProcessLock(const char* name, DWORD milliseconds) : mutex_(CreateMutexA(nullptr, FALSE, name))
{
    if (mutex_) {
        // An abandoned turn (its test process crashed) is a turn all the same.
        const DWORD waited = WaitForSingleObject(mutex_.Get(), milliseconds);
        held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    }
}

TestProcessLock::~TestProcessLock()
{
    if (held_) {
        ReleaseMutex(mutex_.Get());
    }
}

}  // namespace orvane::test
