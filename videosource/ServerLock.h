#pragma once
// What keeps the DLL loaded: live objects and the class factories' LockServer calls.
#include <windows.h>

namespace orvane::videosource {

void LockServer(bool lock) noexcept;
bool ServerInUse() noexcept;

// One live object of the DLL, for as long as it lives.
class ObjectCount {
public:
    ObjectCount() noexcept { LockServer(true); }
    ~ObjectCount() { LockServer(false); }
    ObjectCount(const ObjectCount&) = delete;
    ObjectCount& operator=(const ObjectCount&) = delete;
};

}  // namespace orvane::videosource
