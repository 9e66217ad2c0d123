#pragma once
// Holds the logon-wide named mutex that serialises every change to the shared timebase: finding or
// creating the mapping, initialising its record and updating the attach count. Without it two
// processes could both find no mapping and both initialise it, or lose one of two count updates.
#include <windows.h>

class TimebaseLock {
public:
    // Long enough for any holder (which only opens, maps and writes a few bytes); a holder stuck
    // beyond it is treated as a failure to reach the timebase rather than hanging a card for ever.
    static constexpr DWORD kTimeoutMs = 5000;

    explicit TimebaseLock(DWORD timeoutMs = kTimeoutMs) noexcept;
    ~TimebaseLock();
    TimebaseLock(const TimebaseLock&) = delete;
    TimebaseLock& operator=(const TimebaseLock&) = delete;

    bool Held() const noexcept { return held_; }

private:
    HANDLE mutex_ = nullptr;
    bool held_ = false;
};
