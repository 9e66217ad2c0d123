// One source for every test plug-in; each build leaves out or changes one thing (see CMakeLists).
#include <stdexcept>

#include "tests/timesource/TestPluginState.h"
#include "timesource/OrvaneTimeSource.h"

#define EXPORT extern "C" __declspec(dllexport)

namespace {

TestPluginState state = {0, 0, 0, 0, 0, 0, -1, 7, 1, 0, nullptr, nullptr};

void PassGate()
{
    if (state.entered != nullptr && state.release != nullptr) {
        SetEvent(state.entered);
        WaitForSingleObject(state.release, 20000);
    }
}

}  // namespace

EXPORT TestPluginState* __cdecl TestPluginState() { return &state; }

EXPORT const char* __cdecl GetName() { return "test"; }
EXPORT const char* __cdecl GetInfo() { return "test plug-in"; }
EXPORT unsigned char __cdecl Initialize()
{
    InterlockedIncrement(&state.initializeCalls);
#if defined(TEST_PLUGIN_INIT_FALSE)
    return 0;
#else
    return 1;
#endif
}
#if !defined(TEST_PLUGIN_NO_OPTIONAL)
EXPORT std::int32_t __cdecl MicroSecond() { return 0; }
EXPORT void __cdecl SetDroppedFrames(std::int32_t) {}
#endif
EXPORT void __cdecl Uninitialize() { InterlockedIncrement(&state.uninitializeCalls); }
EXPORT void __cdecl ClearEvents() { InterlockedIncrement(&state.clearEventsCalls); }
EXPORT void __cdecl SetReference(const OrvaneTimeSourceTime*) {}
EXPORT void __cdecl GetReference(OrvaneTimeSourceTime*) {}
EXPORT std::int32_t __cdecl GetSynchronizationStatus()
{
    PassGate();
    return state.syncStatus;
}
EXPORT unsigned char __cdecl IsGPSSupported() { return state.gpsSupported; }
EXPORT void __cdecl GetGPSData(std::uint32_t word, unsigned char flag)
{
    state.lastGpsWord = word;
    state.lastGpsFlag = flag;
}
EXPORT void __cdecl StopReadingGPSData() { InterlockedIncrement(&state.stopReadingCalls); }
EXPORT void __cdecl GetReference_timeb(OrvaneTimeSourceTime*) {}
EXPORT void __cdecl GetCurrentTimeStamp(OrvaneTimeSourceTime*) {}
EXPORT void __cdecl GetRelativeTimeStamp(std::int64_t, OrvaneTimeSourceTime*) {}
#if !defined(TEST_PLUGIN_NO_PROCESS)
EXPORT unsigned char __cdecl ProcessImageData(OrvaneFrameHeader* header)
{
    InterlockedIncrement(&state.processCalls);
#if defined(TEST_PLUGIN_SLOW)
    PassGate();
#endif
#if defined(TEST_PLUGIN_THROWS)
    // Before touching the header, so the frame keeps the system-clock time.
    if (header != nullptr) {
        throw std::runtime_error("the time source lost its reference");
    }
#endif
    header->seconds += state.secondsShift;
    return 1;
}
#endif
