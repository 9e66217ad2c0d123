#pragma once
// Collects what this process writes with OutputDebugStringA, the way a debug viewer does (the
// capture tool's reader of the DBWIN protocol), with the look-ups tests need. Only one reader may
// exist at a time on a machine (the protocol has one buffer): a listener first waits for its turn
// among the test processes running side by side.
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/TestProcessLock.h"
#include "tools/common/DebugOutputReader.h"

namespace orvane::test {

class DebugOutputListener {
public:
    bool Active() const { return reader_.Active(); }

    // Every line this process wrote since the listener started (or since Clear), in order.
    // Waits (bounded) until everything written before the call has arrived.
    std::vector<std::string> Lines();
    void Clear() { reader_.Clear(); }

    bool Contains(const std::string& line) { return Count(line) > 0; }
    // Number of lines equal to `line`.
    int Count(const std::string& line);
    // Waits until a line equal to `line` arrives; false when the bound passes first.
    bool WaitFor(const std::string& line, DWORD milliseconds);
    // All lines joined with '\n', for failure messages.
    std::string Dump();

private:
    TestProcessLock turn_{kDebugOutputTurn};  // taken before the reader, given back after it
    // With the turn no other test reads: a buffer that exists is one that writers still waiting
    // for the last reader keep alive, and reading it ends their wait.
    host::DebugOutputReader reader_{turn_.Held()};
};

}  // namespace orvane::test
