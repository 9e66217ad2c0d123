#pragma once
// The module's lock count: while it is above zero the COM runtime must not unload the module.
// Every live grabber object, every LockServer(TRUE) and every class factory reference beyond the
// table's own holds one. Any thread may change it.
#include <windows.h>

namespace orvane {

LONG LockModule() noexcept;
LONG UnlockModule() noexcept;
LONG ModuleLockCount() noexcept;

}  // namespace orvane
