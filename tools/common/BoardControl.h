#pragma once
// The simulated board's control functions (counters, fill times, frame rate), found at run time in
// the board library the process uses. The vendor's library has none of them, so a program linked
// to them would not even start against it; the tools ask here and leave out what is missing.
#include <windows.h>

#include <string>

#include "tools/common/BoardCounters.h"

namespace orvane::host {

class BoardControl {
public:
    // SetFrameRate: frames as fast as blocks come back, or the rate the mode's timings give.
    static constexpr double kRateUnlimited = -1.0;
    static constexpr double kRateFromMode = 0.0;

    // Loads `library` (normally already loaded by the module); one that cannot be loaded counts as
    // a library without the functions.
    explicit BoardControl(const wchar_t* library = L"OHDW32.dll") noexcept;
    ~BoardControl();
    BoardControl(const BoardControl&) = delete;
    BoardControl& operator=(const BoardControl&) = delete;

    bool HasCounters() const noexcept { return getCounter_ != nullptr && resetCounters_ != nullptr; }
    bool HasFillTimes() const noexcept { return getFillTime_ != nullptr; }
    bool HasFrameRate() const noexcept { return setFrameRate_ != nullptr; }
    bool HasPainting() const noexcept { return setPainting_ != nullptr; }

    // All zero without counters.
    BoardCounters ReadCounters() const noexcept;
    void ResetCounters() const noexcept;
    // Performance-counter time at which the board filled `block`; 0 when not known.
    LONGLONG FillTime(const void* block) const noexcept;
    // False when the library cannot change its rate.
    bool SetFrameRate(double framesPerSecond) const noexcept;
    // Whole test pattern, or only the frame header (benchmarks); false when the library cannot.
    bool SetHeaderOnly(bool headerOnly) const noexcept;

    // The figures this library cannot give (fill times, counts), as one line of text; empty when it
    // gives them all.
    std::string MissingFigures() const;

private:
    using GetCounter = long long(__cdecl*)(const char* name);
    using ResetCountersFunction = int(__cdecl*)();
    using GetFillTime = int(__cdecl*)(const void* block, LONGLONG* qpc);
    using SetFrameRateFunction = int(__cdecl*)(double framesPerSecond);
    using SetPaintingFunction = int(__cdecl*)(int mode);

    HMODULE module_ = nullptr;
    GetCounter getCounter_ = nullptr;
    ResetCountersFunction resetCounters_ = nullptr;
    GetFillTime getFillTime_ = nullptr;
    SetFrameRateFunction setFrameRate_ = nullptr;
    SetPaintingFunction setPainting_ = nullptr;
};

}  // namespace orvane::host
