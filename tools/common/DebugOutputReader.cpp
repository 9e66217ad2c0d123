#include "tools/common/DebugOutputReader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace orvane::host {

namespace {
constexpr DWORD kBufferSize = 4096;
const char kMarkerPrefix[] = "\x01orvane-reader-drain ";
}  // namespace

DebugOutputReader::DebugOutputReader(bool takeOver) : pid_(GetCurrentProcessId())
{
    mapping_.Reset(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBufferSize, "DBWIN_BUFFER"));
    const bool taken = GetLastError() == ERROR_ALREADY_EXISTS;
    bufferReady_.Reset(CreateEventA(nullptr, FALSE, FALSE, "DBWIN_BUFFER_READY"));
    dataReady_.Reset(CreateEventA(nullptr, FALSE, FALSE, "DBWIN_DATA_READY"));
    stop_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!mapping_ || !bufferReady_ || !dataReady_ || !stop_) {
        problem_ = "cannot create the debug output buffer (error " + std::to_string(GetLastError()) + ")";
        Release();
        return;
    }
    if (taken && !takeOver) {
        problem_ = "another program is collecting debug output";
        Release();
        return;
    }
    view_.Reset(static_cast<const char*>(MapViewOfFile(mapping_.Get(), FILE_MAP_READ, 0, 0, kBufferSize)));
    if (!view_) {
        problem_ = "cannot map the debug output buffer (error " + std::to_string(GetLastError()) + ")";
        Release();
        return;
    }
    thread_.Reset(CreateThread(nullptr, 0, &DebugOutputReader::Run, this, 0, nullptr));
    if (!thread_) {
        problem_ = "cannot start the debug output reader (error " + std::to_string(GetLastError()) + ")";
        Release();
    }
}

void DebugOutputReader::Release()
{
    // Every writer in the session finds the buffer through these names and then waits up to ten
    // seconds per line for a reader to take it. A reader that does not read must not keep them
    // alive: once the active reader has gone, its handles alone would make every OutputDebugStringA
    // of every process wait.
    view_.Reset();
    dataReady_.Reset();
    bufferReady_.Reset();
    mapping_.Reset();
}

DebugOutputReader::~DebugOutputReader()
{
    if (thread_) {
        // The reader thread only waits for the stop or a line, so it ends at once: a longer wait
        // would mean it uses this object after it is gone.
        SetEvent(stop_.Get());
        WaitForSingleObject(thread_.Get(), INFINITE);
    }
    Release();
}

DWORD WINAPI DebugOutputReader::Run(LPVOID self)
{
    static_cast<DebugOutputReader*>(self)->Loop();
    return 0;
}

void DebugOutputReader::Loop()
{
    SetEvent(bufferReady_.Get());
    const HANDLE waits[] = {stop_.Get(), dataReady_.Get()};
    for (;;) {
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
            return;
        }
        DWORD pid = 0;
        std::memcpy(&pid, view_.Get(), sizeof pid);
        const char* text = view_.Get() + sizeof pid;
        std::string line(text, strnlen(text, kBufferSize - sizeof pid));
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.pop_back();
        }
        if (pid == pid_) {
            std::lock_guard<std::mutex> lock(mutex_);
            lines_.push_back(std::move(line));
        }
        SetEvent(bufferReady_.Get());
    }
}

std::vector<std::string> DebugOutputReader::Lines(DWORD milliseconds)
{
    if (thread_) {
        // A marker line of our own: once it is back, everything written before it is too.
        char marker[64];
        std::snprintf(marker, sizeof marker, "%s%u", kMarkerPrefix, ++marker_);
        OutputDebugStringA(marker);
        const ULONGLONG deadline = GetTickCount64() + milliseconds;
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                auto it = std::find(lines_.begin(), lines_.end(), std::string(marker));
                if (it != lines_.end()) {
                    lines_.erase(it);
                    break;
                }
            }
            if (GetTickCount64() > deadline) {
                break;
            }
            Sleep(1);
        }
    }
    return Collected();
}

std::vector<std::string> DebugOutputReader::Collected()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
}

void DebugOutputReader::Clear()
{
    Lines();
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
}

}  // namespace orvane::host
