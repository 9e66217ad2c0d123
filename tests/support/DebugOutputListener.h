#pragma once
// Collects what this process writes with OutputDebugStringA, the way a debug viewer does (the
// capture tool's reader of the DBWIN protocol), with the look-ups tests need. Only one reader may
// exist at a time on a machine (the protocol has one buffer): a listener first waits for its turn
// among the test processes running side by side.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/TestProcessLock.h"
#include "tools/common/DebugOutputReader.h"

namespace orvane::test {

class DebugOutputListener {
public:
    DebugOutputListener();

    bool Active() const { return reader_ && reader_->Active(); }

    // Every line this process wrote since the listener started (or since Clear), in order.
    // Waits (bounded) until everything written before the call has arrived.
    std::vector<std::string> Lines();
    void Clear();

    bool Contains(const std::string& line) { return Count(line) > 0; }
    // Number of lines equal to `line`.
    int Count(const std::string& line);
    // Waits until a line equal to `line` arrives; false when the bound passes first.
    bool WaitFor(const std::string& line, DWORD milliseconds);
    // All lines joined with '\n', for failure messages.
    std::string Dump();

private:
    TestProcessLock turn_{kDebugOutputTurn};  // taken before the reader, given back after it
    // Made only with the turn: a second reader would find the buffer taken, and had it held on to
    // the buffer, every writer would wait for it once the first reader had gone. With the turn no
    // other test reads, so a buffer that exists is one that writers still waiting for the last
    // reader keep alive: this reader takes it over, and reading it ends their wait.
    std::optional<host::DebugOutputReader> reader_;
};

}  // namespace orvane::test
