#pragma once
// Writes the per-frame times as CSV: one header line, one line per frame.
#include <windows.h>

#include <string>
#include <vector>

#include "tools/capture/FrameRecord.h"

namespace orvane::capture {

bool WriteCsv(const std::string& path, const std::vector<FrameRecord>& frames, LONGLONG qpcFrequency, std::string& error);

}  // namespace orvane::capture
