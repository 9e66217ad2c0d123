#include "videosource/FrameCopy.h"

#include <cstring>

namespace orvane::videosource {

void CopyFrame(const BYTE* source, BYTE* target, const CopyPlan& plan) noexcept
{
    if (!plan.flip && plan.targetStride == plan.rowBytes) {
        std::memcpy(target, source, plan.rowBytes * static_cast<size_t>(plan.rows));
        return;
    }
    const size_t padding = plan.targetStride - plan.rowBytes;
    for (LONG row = 0; row < plan.rows; ++row) {
        const LONG targetRow = plan.flip ? plan.rows - 1 - row : row;
        BYTE* out = target + static_cast<size_t>(targetRow) * plan.targetStride;
        std::memcpy(out, source + static_cast<size_t>(row) * plan.rowBytes, plan.rowBytes);
        if (padding != 0) {
            std::memset(out + plan.rowBytes, 0, padding);
        }
    }
}

}  // namespace orvane::videosource
