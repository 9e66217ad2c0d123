#include "videosource/VideoFormats.h"

#include <amvideo.h>
#include <uuids.h>

#include <cmath>
#include <cstring>

#include "videosource/MediaTypeCopy.h"

namespace orvane::videosource {

namespace {

constexpr DWORD FourCc(char a, char b, char c, char d)
{
    return static_cast<DWORD>(static_cast<BYTE>(a)) | (static_cast<DWORD>(static_cast<BYTE>(b)) << 8) |
           (static_cast<DWORD>(static_cast<BYTE>(c)) << 16) | (static_cast<DWORD>(static_cast<BYTE>(d)) << 24);
}

// The subtype of a FOURCC: {FOURCC-0000-0010-8000-00AA00389B71}.
constexpr GUID FourCcSubtype(DWORD fourCc)
{
    return GUID{fourCc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
}

constexpr DWORD kY800 = FourCc('Y', '8', '0', '0');
// Grey in 16-bit little-endian words with 10 or 16 significant bits, named as ffmpeg's raw video
// tags name them (gray10le, gray16le): the one consumer that takes these formats.
constexpr DWORD kGrey10 = FourCc('Y', '1', 0, 10);
constexpr DWORD kGrey16 = FourCc('Y', '1', 0, 16);
constexpr DWORD kYuy2 = FourCc('Y', 'U', 'Y', '2');

// 5-6-5 colour masks, red to blue, as a BI_BITFIELDS image carries them after its header.
constexpr DWORD kMasks565[3] = {0xF800, 0x07E0, 0x001F};

// In the module's own order of the "Image Format" choices, then 5-6-5, which the module takes
// without listing it.
const FormatMapping kMappings[] = {
    {6, MEDIASUBTYPE_RGB32, 32, BI_RGB, true},
    {9, MEDIASUBTYPE_RGB24, 24, BI_RGB, true},
    {7, MEDIASUBTYPE_RGB555, 16, BI_RGB, true},
    {0, FourCcSubtype(kY800), 8, kY800, false},
    {1, FourCcSubtype(kGrey10), 16, kGrey10, false},
    {2, FourCcSubtype(kGrey16), 16, kGrey16, false},
    {3, FourCcSubtype(kY800), 8, kY800, false},
    {4, FourCcSubtype(kGrey16), 16, kGrey16, false},
    {5, MEDIASUBTYPE_YUY2, 16, kYuy2, false},
    {8, MEDIASUBTYPE_RGB565, 16, BI_BITFIELDS, true},
};

constexpr REFERENCE_TIME kUnitsPerSecond = 10'000'000;

bool IsBitfields(const FormatMapping& mapping) { return mapping.compression == BI_BITFIELDS; }

}  // namespace

const FormatMapping* MappingForType(LONG moduleType)
{
    for (const FormatMapping& mapping : kMappings) {
        if (mapping.moduleType == moduleType) {
            return &mapping;
        }
    }
    return nullptr;
}

VideoGeometry MakeGeometry(LONG width, LONG height, double framesPerSecond)
{
    VideoGeometry geometry;
    geometry.width = width;
    geometry.height = height;
    if (framesPerSecond > 0) {
        const double period = static_cast<double>(kUnitsPerSecond) / framesPerSecond;
        geometry.framePeriod = static_cast<REFERENCE_TIME>(std::llround(period));
        // Callers compute the period from a rate of their own (ffmpeg: 10000000 / 60 truncated):
        // both neighbours of the exact value are the same rate.
        geometry.minPeriod = static_cast<REFERENCE_TIME>(std::floor(period));
        geometry.maxPeriod = static_cast<REFERENCE_TIME>(std::ceil(period));
    }
    return geometry;
}

size_t ModuleRowBytes(const FormatMapping& mapping, LONG width)
{
    return static_cast<size_t>(width) * mapping.bitCount / 8;
}

size_t SampleStride(const FormatMapping& mapping, LONG width)
{
    const size_t packed = ModuleRowBytes(mapping, width);
    return mapping.rgb ? (packed + 3) & ~static_cast<size_t>(3) : packed;
}

HRESULT BuildMediaType(const FormatMapping& mapping, const VideoGeometry& geometry, bool topDown, AM_MEDIA_TYPE& type)
{
    ClearMediaType(type);
    const ULONG formatBytes = sizeof(VIDEOINFOHEADER) + (IsBitfields(mapping) ? sizeof kMasks565 : 0);
    auto* format = static_cast<BYTE*>(CoTaskMemAlloc(formatBytes));
    if (format == nullptr) {
        return E_OUTOFMEMORY;
    }
    std::memset(format, 0, formatBytes);
    auto* video = reinterpret_cast<VIDEOINFOHEADER*>(format);
    const size_t imageBytes = SampleStride(mapping, geometry.width) * static_cast<size_t>(geometry.height);
    video->AvgTimePerFrame = geometry.framePeriod;
    if (geometry.framePeriod > 0) {
        video->dwBitRate = static_cast<DWORD>(static_cast<double>(imageBytes) * 8.0 * kUnitsPerSecond / geometry.framePeriod);
    }
    BITMAPINFOHEADER& bitmap = video->bmiHeader;
    bitmap.biSize = sizeof(BITMAPINFOHEADER);
    bitmap.biWidth = geometry.width;
    bitmap.biHeight = mapping.rgb && topDown ? -geometry.height : geometry.height;
    bitmap.biPlanes = 1;
    bitmap.biBitCount = mapping.bitCount;
    bitmap.biCompression = mapping.compression;
    bitmap.biSizeImage = static_cast<DWORD>(imageBytes);
    if (IsBitfields(mapping)) {
        std::memcpy(format + sizeof(VIDEOINFOHEADER), kMasks565, sizeof kMasks565);
    }

    type.majortype = MEDIATYPE_Video;
    type.subtype = mapping.subtype;
    type.bFixedSizeSamples = TRUE;
    type.bTemporalCompression = FALSE;
    type.lSampleSize = static_cast<ULONG>(imageBytes);
    type.formattype = FORMAT_VideoInfo;
    type.cbFormat = formatBytes;
    type.pbFormat = format;
    return S_OK;
}

std::optional<Proposal> ReadProposal(const AM_MEDIA_TYPE& type, const VideoGeometry& geometry,
                                     const std::vector<LONG>& offeredTypes, LONG currentType)
{
    if (!IsEqualGUID(type.majortype, MEDIATYPE_Video) || !IsEqualGUID(type.formattype, FORMAT_VideoInfo) ||
        type.pbFormat == nullptr || type.cbFormat < sizeof(VIDEOINFOHEADER)) {
        return std::nullopt;
    }
    const auto* video = reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
    const BITMAPINFOHEADER& bitmap = video->bmiHeader;
    // Of two offered twins, the one in force; otherwise the first offered.
    const FormatMapping* chosen = nullptr;
    for (LONG offered : offeredTypes) {
        const FormatMapping* mapping = MappingForType(offered);
        if (mapping == nullptr || !IsEqualGUID(mapping->subtype, type.subtype)) {
            continue;
        }
        if (chosen == nullptr || offered == currentType) {
            chosen = mapping;
        }
    }
    if (chosen == nullptr || bitmap.biBitCount != chosen->bitCount || bitmap.biCompression != chosen->compression ||
        bitmap.biWidth != geometry.width || (bitmap.biHeight != geometry.height && bitmap.biHeight != -geometry.height)) {
        return std::nullopt;
    }
    const bool topDown = bitmap.biHeight < 0;
    if (topDown && !chosen->rgb) {
        return std::nullopt;  // YUV and grey are top-down by definition: a negative height is no such type
    }
    if (IsBitfields(*chosen) &&
        (type.cbFormat < sizeof(VIDEOINFOHEADER) + sizeof kMasks565 ||
         std::memcmp(type.pbFormat + sizeof(VIDEOINFOHEADER), kMasks565, sizeof kMasks565) != 0)) {
        return std::nullopt;
    }
    const REFERENCE_TIME period = video->AvgTimePerFrame;
    if (period != 0 && (period < geometry.minPeriod || period > geometry.maxPeriod)) {
        return std::nullopt;
    }
    return Proposal{chosen, topDown};
}

bool Admits(const AM_MEDIA_TYPE* partial, const AM_MEDIA_TYPE& full)
{
    if (partial == nullptr) {
        return true;
    }
    auto matches = [](const GUID& wanted, const GUID& actual) {
        return IsEqualGUID(wanted, GUID_NULL) || IsEqualGUID(wanted, actual);
    };
    return matches(partial->majortype, full.majortype) && matches(partial->subtype, full.subtype) &&
           matches(partial->formattype, full.formattype);
}

}  // namespace orvane::videosource
