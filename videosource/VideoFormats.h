#pragma once
// The module's image formats as DirectShow media types, and back. Each module format has one
// media type; where two module formats share a layout (the mono and luma-only twins) they share
// it too, and the format in force decides which of the twins delivers it.
#include <dshow.h>

#include <cstddef>
#include <optional>
#include <vector>

namespace orvane::videosource {

struct FormatMapping {
    LONG moduleType;    // the module's image format type
    GUID subtype;
    WORD bitCount;      // bits per pixel, as the module reports them
    DWORD compression;  // BI_RGB, BI_BITFIELDS or the FOURCC
    bool rgb;           // RGB layout: a positive height is bottom-up, rows are padded to 4 bytes
};

// The mapping of a module type; null for a type without one.
const FormatMapping* MappingForType(LONG moduleType);

// The size and rate every offered type shares: the profile's image and frame period.
struct VideoGeometry {
    LONG width = 0;
    LONG height = 0;
    REFERENCE_TIME framePeriod = 0;  // 100 ns units, rounded to the nearest
    REFERENCE_TIME minPeriod = 0;    // the exact period lies between these two
    REFERENCE_TIME maxPeriod = 0;
};

// Geometry for a nominal frame rate in frames per second.
VideoGeometry MakeGeometry(LONG width, LONG height, double framesPerSecond);

// Bytes per row in the delivered sample, and in the module's packed frame.
size_t SampleStride(const FormatMapping& mapping, LONG width);
size_t ModuleRowBytes(const FormatMapping& mapping, LONG width);

// Fills `type` (cleared first) with the media type of `mapping` at `geometry`; an RGB type is
// bottom-up unless `topDown`.
HRESULT BuildMediaType(const FormatMapping& mapping, const VideoGeometry& geometry, bool topDown, AM_MEDIA_TYPE& type);

// What a proposed type asks for, when it is one the source can deliver: the format and whether an
// RGB image goes top-down. AvgTimePerFrame may be 0 (any) or a period within the geometry's
// bounds; everything else must be as BuildMediaType makes it.
struct Proposal {
    const FormatMapping* mapping = nullptr;
    bool topDown = false;
};
std::optional<Proposal> ReadProposal(const AM_MEDIA_TYPE& type, const VideoGeometry& geometry,
                                     const std::vector<LONG>& offeredTypes, LONG currentType);

// Whether a partial type (GUID_NULL fields are wildcards) admits a full one.
bool Admits(const AM_MEDIA_TYPE* partial, const AM_MEDIA_TYPE& full);

}  // namespace orvane::videosource
