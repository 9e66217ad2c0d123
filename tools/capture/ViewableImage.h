#pragma once
// Turns a frame in any of the board's pixel formats into a picture a person can look at: 8-bit
// grey for the mono and luma-only formats, 8-bit B, G, R for the colour ones.
#include <windows.h>

#include <cstddef>
#include <vector>

namespace orvane::capture {

// An 8-bit picture with packed rows, top row first.
struct ViewableImage {
    int width = 0;
    int height = 0;
    int channels = 0;  // 1: grey; 3: B, G, R
    std::vector<BYTE> pixels;

    size_t RowBytes() const { return static_cast<size_t>(width) * static_cast<size_t>(channels); }
};

// How a frame of one image format type is laid out; the types are those of the "Image Format"
// setting (0..9).
struct FramePixels {
    int formatType = 6;
    int width = 0;
    int height = 0;
};

// True for the types 0..9, whose layouts are known here.
bool CanConvert(int formatType);

// Bits per pixel of a known type; 0 for any other.
int BitsPerPixelOf(int formatType);

// `frame` holds height packed rows of width x BitsPerPixelOf(type) / 8 bytes. False (and `image`
// untouched) for an unknown type or an empty size.
bool ConvertFrame(const BYTE* frame, const FramePixels& layout, ViewableImage& image);

}  // namespace orvane::capture
