#include "videosource/ServerLock.h"

#include <atomic>

namespace orvane::videosource {

namespace {

// The one count COM asks for through DllCanUnloadNow.
std::atomic<long> g_locks{0};

}  // namespace

void LockServer(bool lock) noexcept
{
    if (lock) {
        ++g_locks;
    } else {
        --g_locks;
    }
}

bool ServerInUse() noexcept
{
    return g_locks > 0;
}

}  // namespace orvane::videosource
