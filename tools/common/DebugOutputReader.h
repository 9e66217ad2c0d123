#pragma once
// Collects the lines this process writes with OutputDebugStringA, the way a debug viewer does:
// while it lives it owns the system-wide DBWIN_BUFFER mapping and its two events, so only one
// reader can exist on a machine at a time (a second one finds the buffer taken, lets go of it at
// once and stays inactive).
#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/OwnedHandle.h"

namespace orvane::host {

class DebugOutputReader {
public:
    // `takeOver`: a buffer that exists already is read all the same. Only for a caller that knows
    // no other reader runs (test processes take turns at reading): Wine's writers keep the buffer
    // alive while they wait for a reader that has gone, and until someone reads again every line
    // then costs each writer ten seconds.
    explicit DebugOutputReader(bool takeOver = false);
    ~DebugOutputReader();
    DebugOutputReader(const DebugOutputReader&) = delete;
    DebugOutputReader& operator=(const DebugOutputReader&) = delete;

    // False when the buffer could not be set up (another debugger or viewer holds it).
    bool Active() const { return static_cast<bool>(thread_); }
    const std::string& Problem() const { return problem_; }

    // Every line written so far, after waiting (at most `milliseconds`) until everything written
    // before the call has arrived.
    std::vector<std::string> Lines(DWORD milliseconds = 5000);
    // What has arrived so far, without waiting for anything still on its way.
    std::vector<std::string> Collected();
    // Forgets every line collected so far.
    void Clear();

private:
    static DWORD WINAPI Run(LPVOID self);
    void Loop();
    // Closes the buffer and its events, so that writers stop waiting for this reader.
    void Release();

    struct ViewCloser {
        void operator()(const char* view) const noexcept { UnmapViewOfFile(view); }
    };

    UniqueKernelHandle mapping_;
    UniqueKernelHandle bufferReady_;
    UniqueKernelHandle dataReady_;
    UniqueKernelHandle stop_;
    OwnedHandle<const char*, ViewCloser> view_;
    UniqueKernelHandle thread_;
    DWORD pid_ = 0;
    unsigned marker_ = 0;
    std::string problem_;
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

}  // namespace orvane::host
