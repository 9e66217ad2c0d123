#include "tests/support/DebugOutputListener.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace orvane::test {

namespace {
constexpr DWORD kBufferSize = 4096;
const char kMarkerPrefix[] = "\x01orvane-listener-drain ";
}  // namespace

DebugOutputListener::DebugOutputListener() : pid_(GetCurrentProcessId())
{
    mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBufferSize, "DBWIN_BUFFER");
    bufferReady_ = CreateEventA(nullptr, FALSE, FALSE, "DBWIN_BUFFER_READY");
    dataReady_ = CreateEventA(nullptr, FALSE, FALSE, "DBWIN_DATA_READY");
    stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (mapping_ == nullptr || bufferReady_ == nullptr || dataReady_ == nullptr || stop_ == nullptr) {
        ADD_FAILURE() << "debug output listener: cannot create the DBWIN objects (" << GetLastError() << ")";
        return;
    }
    view_ = static_cast<const char*>(MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, kBufferSize));
    if (view_ == nullptr) {
        ADD_FAILURE() << "debug output listener: cannot map DBWIN_BUFFER (" << GetLastError() << ")";
        return;
    }
    thread_ = CreateThread(nullptr, 0, &DebugOutputListener::Run, this, 0, nullptr);
}

DebugOutputListener::~DebugOutputListener()
{
    if (thread_ != nullptr) {
        SetEvent(stop_);
        WaitForSingleObject(thread_, 5000);
        CloseHandle(thread_);
    }
    if (view_ != nullptr) {
        UnmapViewOfFile(view_);
    }
    for (HANDLE h : {mapping_, bufferReady_, dataReady_, stop_}) {
        if (h != nullptr) {
            CloseHandle(h);
        }
    }
}

DWORD WINAPI DebugOutputListener::Run(LPVOID self)
{
    static_cast<DebugOutputListener*>(self)->Loop();
    return 0;
}

void DebugOutputListener::Loop()
{
    SetEvent(bufferReady_);
    const HANDLE waits[] = {stop_, dataReady_};
    for (;;) {
        const DWORD which = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        if (which != WAIT_OBJECT_0 + 1) {
            return;
        }
        DWORD pid = 0;
        std::memcpy(&pid, view_, sizeof pid);
        const char* text = view_ + sizeof pid;
        const std::string line(text, strnlen(text, kBufferSize - sizeof pid));
        if (pid == pid_) {
            std::lock_guard<std::mutex> lock(mutex_);
            lines_.push_back(line);
        }
        SetEvent(bufferReady_);
    }
}

void DebugOutputListener::Drain()
{
    if (thread_ == nullptr) {
        return;
    }
    char marker[64];
    std::snprintf(marker, sizeof marker, "%s%u", kMarkerPrefix, ++marker_);
    OutputDebugStringA(marker);
    const ULONGLONG deadline = GetTickCount64() + 10000;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto it = std::find(lines_.begin(), lines_.end(), std::string(marker));
            if (it != lines_.end()) {
                lines_.erase(it);
                return;
            }
        }
        if (GetTickCount64() > deadline) {
            ADD_FAILURE() << "debug output listener: output did not arrive within 10 s";
            return;
        }
        Sleep(1);
    }
}

std::vector<std::string> DebugOutputListener::Lines()
{
    Drain();
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
}

void DebugOutputListener::Clear()
{
    Drain();
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
}

bool DebugOutputListener::Contains(const std::string& line)
{
    return Count(line) > 0;
}

int DebugOutputListener::Count(const std::string& line)
{
    const auto all = Lines();
    return static_cast<int>(std::count(all.begin(), all.end(), line));
}

bool DebugOutputListener::WaitFor(const std::string& line, DWORD milliseconds)
{
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (std::find(lines_.begin(), lines_.end(), line) != lines_.end()) {
                return true;
            }
        }
        if (GetTickCount64() > deadline) {
            return false;
        }
        Sleep(2);
    }
}

std::string DebugOutputListener::Dump()
{
    std::string all;
    for (const auto& line : Lines()) {
        all += line;
        all += '\n';
    }
    return all;
}

}  // namespace orvane::test
