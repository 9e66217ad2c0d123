#pragma once
// Ordering a test's threads by what they observably did, never by a sleep.
//
// A thread about to block on one of the lists' manual-reset events (read or grab) resets the event
// under its event lock, in one step with its look at the list, and nothing else ever resets it. So
// when a test sets the event before starting the waiter, the event falling back to unsignalled means
// the waiter is on its way into the wait: only then does the test let the frame, the free image or
// the wake-up arrive. A wake-up or frame that goes through the event lock waits for the look; an
// image put on the free list does not take that lock, so it may still land just before the look.
#include <windows.h>

#include <string>

namespace orvane::test {

// The name of the one event of this process whose name starts with `prefix` (for example
// "ReadEvent (" for the read event of the only card alive); empty, with a test failure, when there
// is none or more than one.
std::string FindOwnEventName(const std::string& prefix);

// The name a kernel object of this process was created with ("ORVANE_VIDEOFRAMECAPTURED(...)");
// empty for an unnamed one.
std::string KernelObjectName(HANDLE handle);

// Sets the named event: do it before the waiter starts.
bool SetNamedEvent(const std::string& name);

// Waits until the named event is unsignalled, that is until a waiter has reset it; false when the
// bound passes first.
bool WaitUntilWaiterResets(const std::string& name, DWORD milliseconds);

}  // namespace orvane::test
