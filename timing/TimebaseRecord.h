#pragma once
// The timebase record that every card of the logon shares through the named mapping "CvhTimebase".
// Other processes (other builds of this module among them) read the same bytes, so the layout is
// fixed here once: little-endian, packed without alignment, 29 bytes at offset 0 of the mapping.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <type_traits>

// Name and sizes of the mapping. No "Global\" prefix: the timeline is shared within one logon.
inline constexpr char kTimebaseMappingName[] = "CvhTimebase";
inline constexpr std::uint32_t kTimebaseMappingSize = 4096;
inline constexpr std::size_t kTimebaseViewSize = 512;

#pragma pack(push, 1)

// Wall-clock time at the reference instant (12 bytes).
struct TimebaseWallClock {
    std::int32_t seconds;        // since 1970-01-01 00:00:00 UTC
    std::uint16_t milliseconds;  // 0..999
    std::int16_t minutesWest;    // time zone, minutes west of UTC; written, never used
    std::int16_t daylightSaving; // nonzero while daylight saving is in effect; written, never used
    std::uint8_t padding[2];
};

struct TimebaseRecord {
    std::uint8_t attachCount;        // objects attached right now, over every process
    double frequency;                // performance-counter counts per second
    TimebaseWallClock reference;     // wall clock at the reference instant
    std::int64_t referenceCounter;   // performance counter at the reference instant
};

#pragma pack(pop)

static_assert(std::endian::native == std::endian::little, "the record is little-endian");
static_assert(std::numeric_limits<double>::is_iec559, "the frequency is an IEEE-754 double");

static_assert(sizeof(TimebaseWallClock) == 12);
static_assert(offsetof(TimebaseWallClock, seconds) == 0);
static_assert(offsetof(TimebaseWallClock, milliseconds) == 4);
static_assert(offsetof(TimebaseWallClock, minutesWest) == 6);
static_assert(offsetof(TimebaseWallClock, daylightSaving) == 8);
static_assert(offsetof(TimebaseWallClock, padding) == 10);

static_assert(sizeof(TimebaseRecord) == 29);
static_assert(offsetof(TimebaseRecord, attachCount) == 0);
static_assert(offsetof(TimebaseRecord, frequency) == 1);
static_assert(offsetof(TimebaseRecord, reference) == 9);
static_assert(offsetof(TimebaseRecord, reference) + offsetof(TimebaseWallClock, seconds) == 9);
static_assert(offsetof(TimebaseRecord, reference) + offsetof(TimebaseWallClock, milliseconds) == 13);
static_assert(offsetof(TimebaseRecord, reference) + offsetof(TimebaseWallClock, minutesWest) == 15);
static_assert(offsetof(TimebaseRecord, reference) + offsetof(TimebaseWallClock, daylightSaving) == 17);
static_assert(offsetof(TimebaseRecord, reference) + offsetof(TimebaseWallClock, padding) == 19);
static_assert(offsetof(TimebaseRecord, referenceCounter) == 21);

static_assert(std::is_trivially_copyable_v<TimebaseRecord> && std::is_standard_layout_v<TimebaseRecord>);
static_assert(sizeof(TimebaseRecord) <= kTimebaseViewSize && kTimebaseViewSize <= kTimebaseMappingSize);
