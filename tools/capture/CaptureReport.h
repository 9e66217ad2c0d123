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
    std::string csvPath;
    std::vector<std::string> savedImages;
    std::uint64_t nullPixelFrames = 0;
};

void PrintSummary(std::FILE* out, const CaptureResult& result, const std::vector<FrameRecord>& frames);

}  // namespace orvane::capture
