#pragma once
// The test pattern the simulated board writes into each pixel block.
//
// Frame layout (bytes are packed rows of width x bits-per-pixel / 8, no padding):
//   - eight vertical colour bars (white, yellow, cyan, green, magenta, red, blue, black) that move
//     4 pixels to the left per frame number, and a white horizontal band of height/16 lines that
//     moves down 2 lines per frame number;
//   - lines 1..8: the frame number as 32 cells (most significant bit first), white = 1, black = 0;
//   - the first 36 bytes of the frame (a header, cut short for tiny frames), little-endian:
//       0..3   BCD time code: frames, seconds, minutes, hours (0 when the time code is off)
//       4..7   frame number
//       8..11  "OHDF"
//       12..13 image format type, 14..15 bits per pixel
//       16..19 width, 20..23 height
//       24..25 board index of the board that filled the frame, 26..27 zero
//       28..35 that board's serial number (NUL-padded; no terminator when it is 8 characters)
// Each row is one memcpy from a prepared line, so a 3840x2160 BGR32 frame costs about one
// frame-sized copy.
#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace simboard {

// Bits per pixel of an image format type; 0 for a type outside 0..9.
int BitsPerPixel(int formatType);

constexpr size_t kFrameHeaderBytes = 36;
constexpr size_t kFrameSourceOffset = 24;  // board index, then the serial number at +4
constexpr size_t kFrameSourceBytes = 12;

class FramePainter {
public:
    // Prepares the lines for one format and size (format 0..9, width and height >= 1).
    void Prepare(int formatType, int width, int height);
    // The board whose frames these are, named in every frame's header.
    void SetSource(WORD boardIndex, const std::string& serial);
    size_t FrameBytes() const { return rowBytes_ * static_cast<size_t>(height_); }
    size_t RowBytes() const { return rowBytes_; }
    // Writes frame `frameNumber` into `frame` (FrameBytes() bytes).
    void Paint(BYTE* frame, DWORD frameNumber, bool timeCode, int timeCodeRate);
    // Writes only the frame header of frame `frameNumber` (for benchmarks).
    void PaintHeader(BYTE* frame, DWORD frameNumber, bool timeCode, int timeCodeRate) const;

    // Encodes one pixel of colour (r, g, b) at column x (the parity matters for YCbCr 4:2:2).
    static void EncodePixel(int formatType, int r, int g, int b, int x, BYTE* out);

private:
    void BuildLine(std::vector<BYTE>& line, int pixels, int colour /* -1 = bars */) const;

    int format_ = 6;
    int width_ = 0;
    int height_ = 0;
    size_t bytesPerPixel_ = 4;
    size_t rowBytes_ = 0;
    int barWidth_ = 2;
    int period_ = 16;
    std::vector<BYTE> bars_;   // width + period pixels of bars
    std::vector<BYTE> white_;  // one white line
    std::vector<BYTE> black_;  // one black line
    std::vector<BYTE> counter_;
    std::array<BYTE, kFrameSourceBytes> source_{};
};

// Time code byte: two-digit packed BCD.
inline BYTE ToBcd(unsigned value) { return static_cast<BYTE>(((value / 10) << 4) | (value % 10)); }

}  // namespace simboard
