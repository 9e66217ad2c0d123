#pragma once
// What the test plug-ins record and how a test steers them, read through their "TestPluginState"
// export from the copy the module loaded into the test process.
#include <windows.h>

#include <cstdint>

struct TestPluginState {
    LONG initializeCalls;
    LONG uninitializeCalls;
    LONG clearEventsCalls;
    LONG processCalls;
    LONG stopReadingCalls;
    std::uint32_t lastGpsWord;
    LONG lastGpsFlag;  // -1 until GetGPSData was called
    std::int32_t syncStatus;      // what GetSynchronizationStatus answers
    unsigned char gpsSupported;   // what IsGPSSupported answers
    std::int32_t secondsShift;    // ProcessImageData adds this to the header's seconds
    // When both are set, ProcessImageData (the slow plug-in) and GetSynchronizationStatus signal
    // `entered` and wait for `release` (bounded) before they go on.
    HANDLE entered;
    HANDLE release;
};

using TestPluginStateFn = TestPluginState*(__cdecl*)();

// The state of the copy of `library` loaded into this process; null when it is not loaded.
inline TestPluginState* LoadedPluginState(const wchar_t* library)
{
    HMODULE plugin = GetModuleHandleW(library);
    FARPROC get = plugin != nullptr ? GetProcAddress(plugin, "TestPluginState") : nullptr;
    return get != nullptr ? reinterpret_cast<TestPluginStateFn>(reinterpret_cast<void (*)()>(get))() : nullptr;
}
