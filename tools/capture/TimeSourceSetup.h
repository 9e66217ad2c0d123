#pragma once
// The capture tool's time-source options: stored under the host's registry path before the grab
// starts (the module reads them at every start), and what the module made of them afterwards.
#include <windows.h>

#include <cstddef>
#include <cstdio>
#include <string>

#include "CorvathSdk.h"
#include "tools/capture/CaptureOptions.h"
#include "tools/common/ProcessDebugLog.h"
#include "tools/common/RememberedSettings.h"

namespace orvane::capture {

// Writes the options that were given; false with `error` when the key cannot be written.
bool StoreTimeSourceOptions(host::RememberedSettings& remembered, const CaptureOptions& options, std::string& error);

struct TimeSourceState {
    std::string configured;      // "TimeSourceDLL" as stored; empty: none (the system clock)
    bool refused = false;        // the module fell back to the system clock
    std::string reason;          // the module's own words for it
    LONG synchronization = 0;
    LONG gpsSupported = 0;
    bool answered = false;       // the module answered the time-source queries
};

// After the grab started: reads the configuration back, looks for the module's fall-back in its
// diagnostics written since line `logFrom` (and, without diagnostics, at whether the library is
// loaded at all), and asks the object (any of its interfaces) for the plug-in's status.
TimeSourceState ReadTimeSourceState(const std::wstring& registryPath, IUnknown* grabber, const host::ProcessDebugLog& log,
                                    std::size_t logFrom);

// "time source : ..." lines for the summary.
void PrintTimeSource(std::FILE* out, const TimeSourceState& state);

}  // namespace orvane::capture
