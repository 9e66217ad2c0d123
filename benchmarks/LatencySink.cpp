#include "benchmarks/LatencySink.h"

#include <cstring>

namespace orvane::bench {

LatencySink::LatencySink(const host::BoardControl& board) : board_(board)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    ticksPerMicrosecond_ = static_cast<double>(frequency.QuadPart) / 1e6;
    latency_.reserve(1 << 20);
}

void LatencySink::OnFrame(const ImageHeader& header, LONGLONG deliveredQpc)
{
    const LONGLONG filled = header.pixels != nullptr ? board_.FillTime(header.pixels) : 0;
    if (filled != 0) {
        latency_.push_back(static_cast<double>(deliveredQpc - filled) / ticksPerMicrosecond_);
    }
    const auto* pixels = static_cast<const unsigned char*>(header.pixels);
    if (pixels != nullptr && std::memcmp(pixels + 8, "OHDF", 4) == 0) {
        std::uint32_t number = 0;
        std::memcpy(&number, pixels + 4, sizeof number);
        if (lastFrame_ >= 0) {
            if (number <= lastFrame_) {
                ++outOfOrder_;
            } else {
                missing_ += static_cast<std::uint64_t>(number - lastFrame_ - 1);
            }
        }
        lastFrame_ = number;
    }
}

}  // namespace orvane::bench
