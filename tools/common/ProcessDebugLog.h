#pragma once
// The lines this process writes with OutputDebugStringA (the module's diagnostics among them),
// collected inside the process: the system hands each line to a debugger by raising the exception
// DBG_PRINTEXCEPTION_C, and a vectored exception handler sees it on the writing thread before the
// system carries on as usual. Unlike a debug viewer (DebugOutputReader) it needs no machine-wide
// buffer, so any number of tools run at once and test listeners are not disturbed. A debugger
// attached to the process takes the lines instead, and the log then stays empty.
#include <windows.h>

#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

namespace orvane::host {

class ProcessDebugLog {
public:
    // Starts collecting. Only one can collect in a process; a second stays inactive.
    ProcessDebugLog();
    ~ProcessDebugLog();
    ProcessDebugLog(const ProcessDebugLog&) = delete;
    ProcessDebugLog& operator=(const ProcessDebugLog&) = delete;

    bool Active() const { return handler_ != nullptr; }

    // Every line so far (at most kMaxLines; Dropped() counts the rest).
    std::vector<std::string> Lines() const;
    std::size_t Dropped() const;

    // The last line containing `text`, after line `from`; empty when there is none.
    std::string LastContaining(const std::string& text, std::size_t from = 0) const;

    static constexpr std::size_t kMaxLines = 100000;

private:
    static LONG CALLBACK Handle(EXCEPTION_POINTERS* exception);
    void Add(const char* text, std::size_t length) noexcept;

    // The handler has no context argument: it finds the one collecting log here.
    static std::atomic<ProcessDebugLog*> collecting_;
    static std::atomic<int> inside_;  // handlers between looking at collecting_ and leaving Add

    PVOID handler_ = nullptr;
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    std::size_t dropped_ = 0;
};

}  // namespace orvane::host
