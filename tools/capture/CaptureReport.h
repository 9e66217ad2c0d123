#pragma once
// The readable summary at the end of a capture.
#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "tools/capture/FrameRecord.h"
#include "tools/common/BoardCounters.h"
#include "tools/common/GrabberSession.h"
#include "tools/common/ProfileInfo.h"
#include "tools/common/Statistics.h"

namespace orvane::capture {

struct CaptureResult {
    std::string profilePath;
    host::ProfileInfo profile;
    host::ImageGeometry geometry;
    bool geometryFromProfile = false;  // the module did not report it
    std::string formatNote;            // why the format asked for was not selected; empty when it was
    int buffers = 0;
    double elapsedSeconds = 0;  // from EnableGrab to the stop
    host::SessionCounters counters;
    std::optional<host::BoardCounters> board;  // none when the board library keeps no counts
    host::ModuleFrameCounts module;            // what the module counts itself
    LONG maxReadyCount = -1;
    LONGLONG qpcFrequency = 1;
    std::string csvPath;              // empty: no CSV written
    std::uint64_t csvRows = 0;
    std::string streamTarget;         // --stream-to; empty: none
    std::uint64_t streamedFrames = 0;
    std::vector<std::string> savedImages;
    std::uint64_t nullPixelFrames = 0;
};

// The figures the summary shows, computed once for the text and the JSON.
struct FrameNumbers {
    std::int64_t first = -1;
    std::int64_t last = -1;
    std::int64_t missing = 0;     // numbers skipped between consecutive frames
    std::int64_t outOfOrder = 0;  // frames whose number did not rise
};

struct CaptureFigures {
    double nominalRate = 0;   // from the profile; 0 when unknown
    double stampRate = 0;     // from the frames' own time stamps, first to last
    double deliveredRate = 0; // frames over the run, by the host's clock
    FrameNumbers numbers;     // the board's frame numbers
    host::Summary intervalsMs;
    host::Summary latencyUs;  // board fill to GetCurrent
};

CaptureFigures ComputeFigures(const CaptureResult& result, const std::vector<FrameRecord>& frames);

void PrintSummary(std::FILE* out, const CaptureResult& result, const std::vector<FrameRecord>& frames);

}  // namespace orvane::capture
