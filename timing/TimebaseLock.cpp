#include "timing/TimebaseLock.h"

namespace {
// Same namespace as the mapping (this logon), so it guards exactly the processes that share it.
constexpr char kLockName[] = "CvhTimebaseLock";
}  // namespace

TimebaseLock::TimebaseLock(DWORD timeoutMs) noexcept
    : mutex_(CreateMutexA(nullptr, FALSE, kLockName))
{
    if (mutex_ == nullptr) {
        return;
    }
    // An abandoned mutex is ours all the same. Its dead owner either created the mapping (its handle
    // died with it, and nobody else could have opened the mapping meanwhile, so the half-made record
    // is gone) or wrote the one-byte count, which is never half written.
    const DWORD result = WaitForSingleObject(mutex_, timeoutMs);
    held_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

TimebaseLock::~TimebaseLock()
{
    if (held_) {
        ReleaseMutex(mutex_);
    }
    if (mutex_ != nullptr) {
        CloseHandle(mutex_);
    }
}
