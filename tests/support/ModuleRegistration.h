#pragma once
// The module's class registration as the COM tests and the capture tool's tests need it.
#include <windows.h>

#include <string>

namespace orvane::test {

// Registers the module at `path` unless its class is registered from exactly that file already,
// with its type library: registering again removes and rewrites the class key while another test
// process may be creating objects from it. One test process at a time registers. Answers the
// registration's result (S_OK when nothing had to be done).
HRESULT EnsureModuleRegistration(const std::wstring& path);

}  // namespace orvane::test
