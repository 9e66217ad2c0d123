#include "timing/SharedTimebase.h"

#include <windows.h>

#include <limits>
#include <utility>

#include "platform/Diagnostics.h"
#include "timing/TimebaseLock.h"
#include "timing/WallClock.h"

// Design notes.
//
// Cross-process safety. Every step that writes the record or decides who owns it (find or create
// the mapping, initialise a new record, raise or lower the attach count) runs under the logon-wide
// TimebaseLock. So a record is initialised exactly once, by the object that created the mapping,
// before any other object can open it, and no count update is lost. A create call that finds the
// name already taken (a process that does not take the lock) is a plain connection: such a record
// is never initialised a second time.
//
// The reference is copied into the object at attach. It never changes while any object is
// attached (only a creator writes it, and only when nobody else holds the mapping), so the copy is
// the record's value; a frame's time then depends only on what was checked at attach, never on
// bytes another process could still write.
//
// Lifetime. An object that detaches while others remain attached leaves its handle open until the
// process ends, so the record and its reference survive for cards created later, even after every
// card has gone. That handle belongs to nobody afterwards: each such detach costs the process one
// kernel handle (the view is unmapped, so no address space). The last object out closes
// everything it holds.
//
// Unattached objects (never attached, detached, or attach failed) have no record. ReadTimebase
// then answers with the platform's wall clock: a frame still gets a true time, only not on the
// shared time line and with the clock's coarser resolution. Zeros would pass as a valid time of
// 1970 and hide the failure in recorded material; the wall clock keeps frames usable, and the
// failure is already on the debug output from the attach. The clock read does not enter the
// kernel either (the system time is kept in a page every process can read), so frames stay cheap.

namespace {

constexpr char kConnecting[] = "Connecting to shared timebase";
constexpr char kAllocating[] = "Allocating shared timebase";
constexpr char kCannotCreate[] = "Critical Error : could not create shared timebase";
constexpr char kCannotAccess[] = "Critical Error : could not access shared timebase";

// A counter slower than 1 kHz could not tell milliseconds apart; one faster than 10^12 Hz would
// overflow the microsecond arithmetic. Real performance counters run at a few MHz.
constexpr double kMinFrequency = 1e3;
constexpr double kMaxFrequency = 1e12;

std::int64_t ReadCounter() noexcept
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

// A record this object can compute with: a frequency the arithmetic can divide by, and
// milliseconds that one carry keeps below a second. Anything else is a record nobody initialised
// (or somebody damaged); reading frames from it would divide by zero or stamp garbage.
bool Usable(const TimebaseRecord& record) noexcept
{
    const double frequency = record.frequency;
    return frequency >= kMinFrequency && frequency <= kMaxFrequency && record.reference.milliseconds <= 999;
}

}  // namespace

SharedTimebase::~SharedTimebase()
{
    DetachTimebase();
}

void SharedTimebase::AttachTimebase()
{
    if (Attached()) {
        return;
    }
    const TimebaseLock lock;
    if (!lock.Held()) {
        orvane::Trace(kCannotAccess);
        return;
    }

    TimebaseMapping mapping;
    bool creator = false;
    if (mapping.OpenExisting()) {
        orvane::Trace(kConnecting);
    } else {
        bool existed = false;
        if (!mapping.Create(existed)) {
            orvane::Trace(kAllocating);
            orvane::Trace(kCannotCreate);
            return;
        }
        orvane::Trace(existed ? kConnecting : kAllocating);
        creator = !existed;
    }
    // On any failure below, `mapping` closes what it holds. A mapping this object created then
    // disappears with it, before anybody could have connected to a record it never initialised.
    if (!mapping.MapRecord()) {
        orvane::Trace(kCannotAccess);
        return;
    }

    TimebaseRecord& record = *mapping.Record();
    if (creator) {
        record.attachCount = 0;
        record.frequency = 0.0;
        LARGE_INTEGER frequency;
        if (QueryPerformanceFrequency(&frequency)) {
            record.frequency = static_cast<double>(frequency.QuadPart);
        }
        SetTimebaseReference(record);
    }
    // The count is 8 bits wide: a 256th object would wrap it to 0 and make the next detach think it
    // was the last. That object stays unattached instead.
    if (!Usable(record) || record.attachCount == std::numeric_limits<std::uint8_t>::max()) {
        orvane::Trace(kCannotAccess);
        return;
    }
    ++record.attachCount;
    reference_ = record;
    mapping_ = std::move(mapping);
}

void SharedTimebase::DetachTimebase()
{
    TimebaseRecord* record = mapping_.Record();
    if (record == nullptr) {
        return;
    }
    const TimebaseLock lock;
    bool last = false;
    if (lock.Held()) {
        if (record->attachCount > 0) {
            --record->attachCount;
        }
        last = record->attachCount == 0;
    } else {
        // Without the lock the count cannot be changed safely. It stays one too high, and this
        // object, not knowing whether it was the last, keeps the mapping alive like any other.
        orvane::Trace(kCannotAccess);
    }
    if (last) {
        mapping_.Close();
    } else {
        mapping_.KeepAliveForProcess();
    }
}

bool SharedTimebase::ReadTimebase(std::int32_t& seconds, std::uint16_t& milliseconds,
                                  std::uint16_t& microseconds) noexcept
{
    lastCounter_ = ReadCounter();
    if (!ReadTimebaseAt(lastCounter_, seconds, milliseconds, microseconds)) {
        ReadWallClockTime(seconds, milliseconds, microseconds);
    }
    return true;
}

bool SharedTimebase::ReadTimebaseAt(std::int64_t counter, std::int32_t& seconds, std::uint16_t& milliseconds,
                                    std::uint16_t& microseconds) const noexcept
{
    if (!Attached()) {
        seconds = 0;
        milliseconds = 0;
        microseconds = 0;
        return false;
    }
    TimeAt(reference_, counter, seconds, milliseconds, microseconds);
    return true;
}

void SharedTimebase::TimeAt(const TimebaseRecord& record, std::int64_t counter, std::int32_t& seconds,
                            std::uint16_t& milliseconds, std::uint16_t& microseconds) noexcept
{
    const double frequency = record.frequency;
    const std::int64_t ticksPerSecond = static_cast<std::int64_t>(frequency);
    const std::int64_t delta =
        static_cast<std::int64_t>(static_cast<std::uint64_t>(counter) - static_cast<std::uint64_t>(record.referenceCounter));

    // Whole seconds from the floating-point quotient, truncated toward zero; the fraction of the
    // second from exact integer arithmetic on the remaining ticks.
    std::int64_t wholeSeconds = static_cast<std::int64_t>(static_cast<double>(delta) / frequency);
    std::int64_t ticksIntoSecond = delta % ticksPerSecond;
    if (ticksIntoSecond < 0) {
        // A reading from before the reference (counters of different processors may disagree by a
        // few ticks): borrow one second so that the fraction stays within 0..999999 microseconds.
        ticksIntoSecond += ticksPerSecond;
        --wholeSeconds;
    }
    const auto elapsedMicroseconds = static_cast<std::uint32_t>(ticksIntoSecond * 1'000'000 / ticksPerSecond);

    std::int64_t totalSeconds = std::int64_t{record.reference.seconds} + wholeSeconds;
    auto totalMilliseconds = static_cast<std::uint16_t>(record.reference.milliseconds + elapsedMicroseconds / 1000);
    if (totalMilliseconds > 999) {
        // Both parts are below 1000, so one carry is enough.
        ++totalSeconds;
        totalMilliseconds = static_cast<std::uint16_t>(totalMilliseconds - 1000);
    }
    seconds = static_cast<std::int32_t>(totalSeconds);
    milliseconds = totalMilliseconds;
    microseconds = static_cast<std::uint16_t>(elapsedMicroseconds % 1000);
}

std::optional<TimebaseRecord> SharedTimebase::Record() const noexcept
{
    const TimebaseRecord* record = mapping_.Record();
    if (record == nullptr) {
        return std::nullopt;
    }
    return *record;
}

void SharedTimebase::SetTimebaseReference(TimebaseRecord& record) noexcept
{
    // Wall clock first, then the counter, as close together as the two calls allow.
    const TimebaseWallClock wallClock = ReadWallClockRecord();
    const std::int64_t counter = ReadCounter();
    record.reference = wallClock;
    record.referenceCounter = counter;
}
