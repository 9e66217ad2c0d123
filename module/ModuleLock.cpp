#include "module/ModuleLock.h"

#include <atomic>

namespace orvane {

namespace {
std::atomic<LONG> g_lockCount{0};
}  // namespace

LONG LockModule() noexcept
{
    return ++g_lockCount;
}

LONG UnlockModule() noexcept
{
    return --g_lockCount;
}

LONG ModuleLockCount() noexcept
{
    return g_lockCount.load();
}

}  // namespace orvane
