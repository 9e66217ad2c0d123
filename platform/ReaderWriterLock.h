#pragma once
// A slim reader/writer lock that lives exactly as long as its owner. Like CriticalSection it meets
// the standard's requirements (lock/unlock, lock_shared/unlock_shared), so std::unique_lock and
// std::shared_lock can hold it. Not recursive in either mode.
#include <windows.h>

namespace orvane {

class ReaderWriterLock {
public:
    ReaderWriterLock() noexcept { InitializeSRWLock(&lock_); }
    ReaderWriterLock(const ReaderWriterLock&) = delete;
    ReaderWriterLock& operator=(const ReaderWriterLock&) = delete;

    void lock() noexcept { AcquireSRWLockExclusive(&lock_); }
    void unlock() noexcept { ReleaseSRWLockExclusive(&lock_); }
    bool try_lock() noexcept { return TryAcquireSRWLockExclusive(&lock_) != FALSE; }
    void lock_shared() noexcept { AcquireSRWLockShared(&lock_); }
    void unlock_shared() noexcept { ReleaseSRWLockShared(&lock_); }
    bool try_lock_shared() noexcept { return TryAcquireSRWLockShared(&lock_) != FALSE; }

private:
    SRWLOCK lock_;
};

}  // namespace orvane
