#pragma once
// Writes one frame as a 24-bit uncompressed BMP file (bottom-up rows, each padded to 4 bytes),
// converting from the frame's pixel layout.
#include <windows.h>

#include <cstddef>
#include <string>

namespace orvane::capture {

struct FrameLayout {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;  // 32 (B, G, R, unused), 24 (B, G, R) or 8 (grey)
};

// True when frames of this layout can be written.
bool CanWriteBmp(const FrameLayout& layout);

// `pixels` holds height packed rows of width x bitsPerPixel / 8 bytes, top row first.
bool WriteBmp(const std::string& path, const BYTE* pixels, const FrameLayout& layout, std::string& error);

}  // namespace orvane::capture
