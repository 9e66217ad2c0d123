#pragma once
// Ctrl-C and Ctrl-Break while a capture runs: instead of ending the process at once (no summary,
// no CSV), they set an event the capture's wait includes, so the run stops as at its end.
#include <windows.h>

#include <atomic>

#include "platform/OwnedHandle.h"

namespace orvane::capture {

class ConsoleInterrupt {
public:
    // Installs the handler; a second Ctrl-C while the first is being handled ends the process as
    // usual, for a capture that cannot stop.
    ConsoleInterrupt();
    ~ConsoleInterrupt();
    ConsoleInterrupt(const ConsoleInterrupt&) = delete;
    ConsoleInterrupt& operator=(const ConsoleInterrupt&) = delete;

    // Manual-reset; set once Ctrl-C or Ctrl-Break arrived.
    HANDLE Event() const { return event_.Get(); }
    bool Interrupted() const { return WaitForSingleObject(event_.Get(), 0) == WAIT_OBJECT_0; }

private:
    static BOOL WINAPI Handle(DWORD type);

    // The console calls its handlers without a context: the one event to set lives here.
    static std::atomic<HANDLE> handlerEvent_;

    UniqueKernelHandle event_;
    bool installed_ = false;
};

}  // namespace orvane::capture
