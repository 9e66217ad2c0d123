#include "tools/capture/ViewableImage.h"

namespace orvane::capture {

namespace {

BYTE Clamp8(int value) { return static_cast<BYTE>(value < 0 ? 0 : (value > 255 ? 255 : value)); }

unsigned Read16(const BYTE* p) { return static_cast<unsigned>(p[0] | (p[1] << 8)); }

// Luma coded in the video range 16..235 stretched to 0..255, so black and white look the same as
// in the full-range formats.
BYTE ExpandVideoRange(int y) { return Clamp8(((y - 16) * 255 + 109) / 219); }

// Five or six bits widened to eight by repeating the top bits, so the largest value stays white.
BYTE Widen5(unsigned v) { return static_cast<BYTE>((v << 3) | (v >> 2)); }
BYTE Widen6(unsigned v) { return static_cast<BYTE>((v << 2) | (v >> 4)); }

void PutBgr(BYTE* out, BYTE b, BYTE g, BYTE r)
{
    out[0] = b;
    out[1] = g;
    out[2] = r;
}

// One row of 4:2:2 video-range YCbCr: pairs of pixels as Y0 Cb Y1 Cr share one Cb and one Cr.
// An odd last pixel has its Cb but no Cr and is shown without red-green difference.
void YCbCrRow(const BYTE* source, int width, BYTE* out)
{
    for (int x = 0; x < width; x += 2) {
        const BYTE* pair = source + static_cast<size_t>(x) * 2;
        const int d = pair[1] - 128;
        const int e = x + 1 < width ? pair[3] - 128 : 0;
        for (int i = 0; i < 2 && x + i < width; ++i) {
            const int c = 298 * (pair[2 * i] - 16);
            PutBgr(out + static_cast<size_t>(x + i) * 3, Clamp8((c + 516 * d + 128) >> 8), Clamp8((c - 100 * d - 208 * e + 128) >> 8),
                   Clamp8((c + 409 * e + 128) >> 8));
        }
    }
}

int ChannelsOf(int formatType)
{
    switch (formatType) {
    case 0: case 1: case 2: case 3: case 4: return 1;
    case 5: case 6: case 7: case 8: case 9: return 3;
    default: return 0;
    }
}

}  // namespace

bool CanConvert(int formatType) { return ChannelsOf(formatType) != 0; }

int BitsPerPixelOf(int formatType)
{
    switch (formatType) {
    case 0: case 3: return 8;
    case 1: case 2: case 4: case 5: case 7: case 8: return 16;
    case 9: return 24;
    case 6: return 32;
    default: return 0;
    }
}

bool ConvertFrame(const BYTE* frame, const FramePixels& layout, ViewableImage& image)
{
    const int type = layout.formatType;
    if (!CanConvert(type) || layout.width <= 0 || layout.height <= 0) {
        return false;
    }
    image.width = layout.width;
    image.height = layout.height;
    image.channels = ChannelsOf(type);
    image.pixels.resize(image.RowBytes() * static_cast<size_t>(image.height));
    const size_t bytesPerPixel = static_cast<size_t>(BitsPerPixelOf(type) / 8);
    const size_t sourceRow = static_cast<size_t>(layout.width) * bytesPerPixel;
    for (int y = 0; y < layout.height; ++y) {
        const BYTE* row = frame + static_cast<size_t>(y) * sourceRow;
        BYTE* out = image.pixels.data() + static_cast<size_t>(y) * image.RowBytes();
        if (type == 5) {
            YCbCrRow(row, layout.width, out);
            continue;
        }
        for (int x = 0; x < layout.width; ++x) {
            const BYTE* p = row + static_cast<size_t>(x) * bytesPerPixel;
            switch (type) {
            case 0: out[x] = p[0]; break;                                                     // Mono 8
            case 1: out[x] = Clamp8(static_cast<int>(Read16(p) >> 2)); break;                 // Mono 10 in 16
            case 2: out[x] = p[1]; break;                                                     // Mono 16
            case 3: out[x] = ExpandVideoRange(p[0]); break;                                   // Y only 8
            case 4: out[x] = ExpandVideoRange(p[1]); break;                                   // Y only 16
            case 6: case 9: PutBgr(out + x * 3, p[0], p[1], p[2]); break;                    // BGR 32, BGR 24
            case 7: {                                                                         // x R5 G5 B5
                const unsigned v = Read16(p);
                PutBgr(out + x * 3, Widen5(v & 31), Widen5((v >> 5) & 31), Widen5((v >> 10) & 31));
                break;
            }
            case 8: {                                                                         // R5 G6 B5
                const unsigned v = Read16(p);
                PutBgr(out + x * 3, Widen5(v & 31), Widen6((v >> 5) & 63), Widen5(v >> 11));
                break;
            }
            default: break;
            }
        }
    }
    return true;
}

}  // namespace orvane::capture
