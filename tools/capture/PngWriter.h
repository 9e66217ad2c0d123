#pragma once
// Saves a picture as a PNG file through the Windows Imaging Component, which every Windows (and
// Wine) has, so the tool carries no image codec of its own. The calling thread must be in a COM
// apartment.
#include <string>

#include "tools/capture/ViewableImage.h"

namespace orvane::capture {

// Grey pictures become 8-bit grey PNGs, colour pictures 24-bit ones. On failure `error` names the
// file and the step that failed.
bool WritePng(const std::string& path, const ViewableImage& image, std::string& error);

}  // namespace orvane::capture
