#pragma once
// Collects what this process writes with OutputDebugStringA, the way a debug viewer does:
// it owns the DBWIN_BUFFER mapping and its two events while it lives. Only one listener may
// exist at a time on a machine (the protocol has one buffer), so tests run one process at a time.
#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

namespace orvane::test {

class DebugOutputListener {
public:
    DebugOutputListener();
    ~DebugOutputListener();
    DebugOutputListener(const DebugOutputListener&) = delete;
    DebugOutputListener& operator=(const DebugOutputListener&) = delete;

    bool Active() const { return thread_ != nullptr; }

    // Every line this process wrote since the listener started (or since Clear), in order.
    // Waits (bounded) until everything written before the call has arrived.
    std::vector<std::string> Lines();
    void Clear();

    bool Contains(const std::string& line);
    // Number of lines equal to `line`.
    int Count(const std::string& line);
    // Waits until a line equal to `line` arrives; false when the bound passes first.
    bool WaitFor(const std::string& line, DWORD milliseconds);
    // All lines joined with '\n', for failure messages.
    std::string Dump();

private:
    static DWORD WINAPI Run(LPVOID self);
    void Loop();
    void Drain();

    HANDLE mapping_ = nullptr;
    HANDLE bufferReady_ = nullptr;
    HANDLE dataReady_ = nullptr;
    HANDLE stop_ = nullptr;
    HANDLE thread_ = nullptr;
    const char* view_ = nullptr;
    DWORD pid_ = 0;
    unsigned marker_ = 0;
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

}  // namespace orvane::test
