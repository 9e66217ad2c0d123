#pragma once
// The pixel formats the board can deliver, by image format type, with what the host is told about
// each and the board's pixel mode it needs in the CHP file.

namespace orvane {

struct ImageFormat {
    const char* name;          // choice name offered to the host; null for formats not listed
    int type;                  // image format type, the board library's pixel format code
    int bitsPerPixel;
    int significantBits;
    int hostFormatCode;
    const char* pixelMode;     // "PixelMode" in section "O-RGB"
};

inline constexpr int kDefaultImageFormatType = 6;  // "BGR 32"
inline constexpr int kListedImageFormatCount = 9;

// The listed formats in the order they are offered, then the one unlisted format (type 8).
const ImageFormat* ListedImageFormats();

// The format of a type; a type outside the table answers as "BGR 32" does (32, 8, 500, "RGB").
const ImageFormat& ImageFormatOf(int type);

// True for a type of the table (0 to 9): one the board can stream.
bool IsImageFormatType(int type);

}  // namespace orvane
