#pragma once
// The record the host receives for every frame. Its layout is fixed: the host and time-source
// plug-ins read the fields by offset, so nothing may be added, removed or reordered.
#include <cstddef>
#include <cstdint>
#include <type_traits>

struct ImageHeader {
    void* pixels;            // start of the frame's pixel data; a null pointer marks a frame that is not stamped
    std::uint32_t reserved1; // belongs to the host: zero at creation, never written by the module
    std::uint32_t reserved2; // likewise
    std::int32_t seconds;    // time of the frame, seconds since 1970-01-01 00:00:00 UTC
    std::uint16_t milliseconds;  // 0..999
    std::uint16_t microseconds;  // 0..999
};

static_assert(std::is_standard_layout_v<ImageHeader> && std::is_trivially_copyable_v<ImageHeader>,
              "the header is shared with the host as raw memory");

#if defined(_M_IX86) || defined(__i386__)
// The 32-bit build is the reference layout: 20 bytes, as the host expects.
static_assert(sizeof(ImageHeader) == 20, "image header must be 20 bytes");
static_assert(offsetof(ImageHeader, pixels) == 0);
static_assert(offsetof(ImageHeader, reserved1) == 4);
static_assert(offsetof(ImageHeader, reserved2) == 8);
static_assert(offsetof(ImageHeader, seconds) == 12);
static_assert(offsetof(ImageHeader, milliseconds) == 16);
static_assert(offsetof(ImageHeader, microseconds) == 18);
#endif
