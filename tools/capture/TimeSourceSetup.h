#pragma once
// The capture tool's time-source options: stored under the host's registry path before the grab
// starts (the module reads them at every start), and what the module made of them afterwards.
#include <windows.h>

#include <string>

#include "CorvathSdk.h"
#include "tools/capture/CaptureOptions.h"

namespace orvane::capture {

// Writes the options that were given; false with `error` when the key cannot be written.
bool StoreTimeSourceOptions(const std::wstring& registryPath, const CaptureOptions& options, std::string& error);

struct TimeSourceState {
    std::string configured;      // "TimeSourceDLL" as stored; empty: none (the system clock)
    bool pluginInUse = false;    // the configured library is loaded in this process
    LONG synchronization = 0;
    LONG gpsSupported = 0;
    bool answered = false;       // the module answered the time-source queries
};

// Reads the configuration back and asks the object (any of its interfaces) for the plug-in's status.
TimeSourceState ReadTimeSourceState(const std::wstring& registryPath, IUnknown* grabber);

// "time source : ..." lines for the summary.
void PrintTimeSource(std::FILE* out, const TimeSourceState& state);

}  // namespace orvane::capture
