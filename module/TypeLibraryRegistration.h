#pragma once
// The type library carried in the module file (resource 1), registered under the module's path.
#include <windows.h>

namespace orvane {

HRESULT RegisterModuleTypeLibrary(HMODULE module);

// Removes the registration of version 1.0 of `libraryId` for this build's platform. A library that
// is not registered counts as removed.
HRESULT UnregisterModuleTypeLibrary(REFGUID libraryId);

}  // namespace orvane
