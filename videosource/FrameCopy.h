#pragma once
// The one copy each frame takes on its way downstream: from the module's packed, top-down rows
// into the sample's rows, which for a bottom-up RGB type run the other way and may be padded.
#include <windows.h>

#include <cstddef>

namespace orvane::videosource {

struct CopyPlan {
    size_t rowBytes = 0;      // bytes of one packed module row
    LONG rows = 0;
    size_t targetStride = 0;  // bytes from one sample row to the next (>= rowBytes)
    bool flip = false;        // the sample's first row is the image's last

    size_t TargetBytes() const { return targetStride * static_cast<size_t>(rows); }
};

// Copies one frame; padding bytes at the end of each sample row are zeroed.
void CopyFrame(const BYTE* source, BYTE* target, const CopyPlan& plan) noexcept;

}  // namespace orvane::videosource
