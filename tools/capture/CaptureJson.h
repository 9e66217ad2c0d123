#pragma once
// --json: the capture summary as one JSON object, for scripts. Field names are listed in the
// README ("Machine-readable summary").
#include <cstdio>
#include <string>
#include <vector>

#include "tools/capture/CaptureReport.h"
#include "tools/capture/TimeSourceSetup.h"
#include "tools/common/RememberedSettings.h"

namespace orvane::capture {

struct CaptureOutcome {
    int exitCode = 0;
    std::string error;                  // the one-line reason of a nonzero exit code
    bool interrupted = false;
    std::vector<std::string> warnings;  // outputs that failed, windows closed, ...
};

std::string SummaryJson(const CaptureResult& result, const std::vector<FrameRecord>& frames, const TimeSourceState& timeSource,
                        const std::vector<host::RememberedValue>& remembered, const CaptureOutcome& outcome);

}  // namespace orvane::capture
