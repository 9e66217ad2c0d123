#pragma once
// One measured run of the module's full frame cycle against the simulated board: the host's grab
// and read threads as in the capture tool, a short warm-up, then a measured window.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/common/BoardControl.h"
#include "tools/common/GrabberSession.h"

namespace orvane::bench {

struct ModuleRunSettings {
    std::string profile;        // file name in the profiles folder beside the program
    double framesPerSecond = 0; // BoardControl::SetFrameRate argument (simulated board)
    double seconds = 10;
    double warmupSeconds = 0.5;
    int buffers = 8;
    bool headerOnly = false;    // the simulated board writes only each frame's header
    host::Creation creation = host::Creation::ModuleFile;
    // The time source the module stamps with, stored under the bench's registry path before the
    // grab starts: a plug-in DLL or "System", and the two offsets.
    std::string timeSource = "System";
    std::int32_t timeOffset = 0;      // microseconds
    std::int32_t timecodeOffset = 0;  // frames
};

struct ModuleRunResult {
    bool ok = false;
    std::string error;
    double seconds = 0;                   // measured window
    std::uint64_t frames = 0;             // delivered to the host in the window
    std::vector<double> latencyMicroseconds;
    host::BoardCounters board;            // board counters over the window
    host::SessionCounters host;           // over the whole run
    // Board frame numbers the host never saw (whole run; the session reads what the module
    // collected at the stop too): numbers skipped between the frames the host read, less those
    // the board itself skipped (the module counts them; the board's own drops are apart).
    std::uint64_t missingFrames = 0;
    std::uint64_t skippedNumbers = 0;     // numbers skipped between the frames the host read
    std::uint64_t outOfOrderFrames = 0;
    host::ModuleFrameCounts module;       // the module's own counts, whole run
    bool headerOnly = false;              // the board wrote only the frame headers
    // CPU seconds over the window.
    double cpuProcess = 0;
    double cpuModuleThreads = 0;          // threads started in Orvane.dll: the capture thread
    double cpuHostThreads = 0;            // our grab and read threads: nearly all of it inside the module's calls
    double cpuBoardThreads = 0;           // threads started in OHDW32.dll: the simulated board
    std::map<std::wstring, double> cpuByStartModule;
};

// Board figures and the frame rate go through `board`; a board library without them leaves the
// board counts at zero, the latencies empty and the rate at the mode's.
ModuleRunResult RunModule(const ModuleRunSettings& settings, const host::BoardControl& board);

}  // namespace orvane::bench
