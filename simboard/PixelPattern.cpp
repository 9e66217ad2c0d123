// Test pattern writer: moving colour bars, a moving band, a visible frame counter and a header.
#include "simboard/PixelPattern.h"

#include <algorithm>
#include <cstring>

namespace simboard {

namespace {

struct Rgb {
    int r, g, b;
};
// White, yellow, cyan, green, magenta, red, blue, black.
constexpr Rgb kBars[8] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                          {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
constexpr int kWhite = 0;
constexpr int kBlack = 7;

int Luma(int r, int g, int b) { return (77 * r + 150 * g + 29 * b + 128) >> 8; }
int LimitedRange(int fullRange) { return 16 + (fullRange * 219 + 127) / 255; }
int Clamp8(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

void Put16(BYTE* out, unsigned value)
{
    out[0] = static_cast<BYTE>(value & 0xFF);
    out[1] = static_cast<BYTE>((value >> 8) & 0xFF);
}

void Put32(BYTE* out, uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<BYTE>((value >> (8 * i)) & 0xFF);
    }
}

}  // namespace

int BitsPerPixel(int formatType)
{
    switch (formatType) {
    case 6: return 32;  // BGR 32
    case 9: return 24;  // BGR 24
    case 7: return 16;  // BGR 555
    case 0: return 8;   // Mono 8
    case 1: return 16;  // Mono 10 (10 significant bits)
    case 2: return 16;  // Mono 16
    case 3: return 8;   // Y only 8
    case 4: return 16;  // Y only 16
    case 5: return 16;  // Full YCbCr 16 (4:2:2, Y0 Cb Y1 Cr)
    case 8: return 16;  // 16 bpp (BGR 565)
    default: return 0;
    }
}

void FramePainter::EncodePixel(int formatType, int r, int g, int b, int x, BYTE* out)
{
    const int y = Luma(r, g, b);
    switch (formatType) {
    case 6: out[0] = static_cast<BYTE>(b); out[1] = static_cast<BYTE>(g); out[2] = static_cast<BYTE>(r); out[3] = 0xFF; break;
    case 9: out[0] = static_cast<BYTE>(b); out[1] = static_cast<BYTE>(g); out[2] = static_cast<BYTE>(r); break;
    case 7: Put16(out, static_cast<unsigned>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3))); break;
    case 8: Put16(out, static_cast<unsigned>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3))); break;
    case 0: out[0] = static_cast<BYTE>(y); break;
    case 1: Put16(out, static_cast<unsigned>((y << 2) | (y >> 6))); break;
    case 2: Put16(out, static_cast<unsigned>(y * 257)); break;
    case 3: out[0] = static_cast<BYTE>(LimitedRange(y)); break;
    case 4: Put16(out, static_cast<unsigned>(LimitedRange(y) << 8)); break;
    case 5: {
        out[0] = static_cast<BYTE>(LimitedRange(y));
        if ((x & 1) == 0) {  // Cb
            out[1] = static_cast<BYTE>(Clamp8(128 + ((-38 * r - 74 * g + 112 * b) >> 8)));
        } else {  // Cr
            out[1] = static_cast<BYTE>(Clamp8(128 + ((112 * r - 94 * g - 18 * b) >> 8)));
        }
        break;
    }
    default: break;
    }
}

void FramePainter::BuildLine(std::vector<BYTE>& line, int pixels, int colour) const
{
    line.assign(static_cast<size_t>(pixels) * bytesPerPixel_, 0);
    for (int x = 0; x < pixels; ++x) {
        const Rgb& c = kBars[colour >= 0 ? colour : (x / barWidth_) % 8];
        EncodePixel(format_, c.r, c.g, c.b, x, &line[static_cast<size_t>(x) * bytesPerPixel_]);
    }
}

void FramePainter::Prepare(int formatType, int width, int height)
{
    format_ = formatType;
    width_ = std::max(width, 1);
    height_ = std::max(height, 1);
    bytesPerPixel_ = static_cast<size_t>(std::max(BitsPerPixel(formatType), 8) / 8);
    rowBytes_ = bytesPerPixel_ * static_cast<size_t>(width_);
    barWidth_ = std::max(2, (width_ / 8) & ~1);  // even, so YCbCr pairs never straddle two bars
    period_ = 8 * barWidth_;
    BuildLine(bars_, width_ + period_, -1);
    BuildLine(white_, width_, kWhite);
    BuildLine(black_, width_, kBlack);
    counter_.assign(rowBytes_, 0);
}

void FramePainter::SetSource(WORD boardIndex, const std::string& serial)
{
    source_.fill(0);
    Put16(source_.data(), boardIndex);
    std::memcpy(source_.data() + 4, serial.data(), std::min<size_t>(serial.size(), kFrameSourceBytes - 4));
}

void FramePainter::Paint(BYTE* frame, DWORD frameNumber, bool timeCode, int timeCodeRate)
{
    const size_t shift = static_cast<size_t>((static_cast<unsigned long long>(frameNumber) * 4) % static_cast<unsigned>(period_));
    const BYTE* barRow = bars_.data() + shift * bytesPerPixel_;
    const int bandHeight = std::max(1, height_ / 16);
    const int bandTop = static_cast<int>((static_cast<unsigned long long>(frameNumber) * 2) % static_cast<unsigned>(height_));
    for (int y = 0; y < height_; ++y) {
        const int intoBand = (y - bandTop + height_) % height_;
        const BYTE* source = intoBand < bandHeight ? white_.data() : barRow;
        std::memcpy(frame + static_cast<size_t>(y) * rowBytes_, source, rowBytes_);
    }

    // Frame counter: 32 cells on lines 1..8.
    const int cellWidth = std::max(2, (width_ / 32) & ~1);
    std::memcpy(counter_.data(), black_.data(), rowBytes_);
    for (int bit = 0; bit < 32; ++bit) {
        const int x0 = bit * cellWidth;
        if (x0 >= width_) {
            break;
        }
        const int x1 = std::min(x0 + cellWidth, width_);
        if ((frameNumber >> (31 - bit)) & 1u) {
            const size_t at = static_cast<size_t>(x0) * bytesPerPixel_;
            std::memcpy(counter_.data() + at, white_.data() + at, static_cast<size_t>(x1 - x0) * bytesPerPixel_);
        }
    }
    for (int y = 1; y <= 8 && y < height_; ++y) {
        std::memcpy(frame + static_cast<size_t>(y) * rowBytes_, counter_.data(), rowBytes_);
    }
    PaintHeader(frame, frameNumber, timeCode, timeCodeRate);
}

void FramePainter::PaintHeader(BYTE* frame, DWORD frameNumber, bool timeCode, int timeCodeRate) const
{
    BYTE header[kFrameHeaderBytes] = {};
    if (timeCode && timeCodeRate > 0) {
        const unsigned long long n = frameNumber;
        const unsigned rate = static_cast<unsigned>(timeCodeRate);
        header[0] = ToBcd(static_cast<unsigned>(n % rate));
        header[1] = ToBcd(static_cast<unsigned>((n / rate) % 60));
        header[2] = ToBcd(static_cast<unsigned>((n / (rate * 60ULL)) % 60));
        header[3] = ToBcd(static_cast<unsigned>((n / (rate * 3600ULL)) % 24));
    }
    Put32(header + 4, frameNumber);
    std::memcpy(header + 8, "OHDF", 4);
    Put16(header + 12, static_cast<unsigned>(format_));
    Put16(header + 14, static_cast<unsigned>(BitsPerPixel(format_)));
    Put32(header + 16, static_cast<uint32_t>(width_));
    Put32(header + 20, static_cast<uint32_t>(height_));
    std::memcpy(header + kFrameSourceOffset, source_.data(), kFrameSourceBytes);
    std::memcpy(frame, header, std::min(kFrameHeaderBytes, FrameBytes()));
}

}  // namespace simboard
