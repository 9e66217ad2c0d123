#pragma once
// Frame times from one logon-wide timebase: a reference ties the performance counter to the wall
// clock once, in the shared record "CvhTimebase", and every frame time is the reference time plus
// the counter ticks elapsed since. Every card in every process of the logon therefore stamps frames
// on one time line, and stamping a frame costs one counter read and some arithmetic.
//
// Each card owns one object: attached when the card is built, detached when it is destroyed.
// ReadTimebase runs under the card's list locks, so calls on one object never overlap.
#include <cstdint>
#include <optional>

#include "timing/TimebaseMapping.h"
#include "timing/TimebaseRecord.h"

class SharedTimebase {
public:
    SharedTimebase() noexcept = default;
    // Detaches if the owner did not.
    ~SharedTimebase();
    SharedTimebase(const SharedTimebase&) = delete;
    SharedTimebase& operator=(const SharedTimebase&) = delete;

    // Connects to the shared record, creating and initialising it when no process holds it, and
    // raises its attach count. Failures are logged and leave the object unattached. Attaching an
    // attached object does nothing.
    void AttachTimebase();

    // Lowers the attach count. The last object out unmaps and closes; any other keeps its handle
    // open until the process ends, so the record and its reference survive for later cards.
    // Afterwards the object is unattached; detaching again does nothing.
    void DetachTimebase();

    // The time now. Hot path: one counter read, no lock, no allocation. Always true: an unattached
    // object answers with the wall clock instead (see the .cpp).
    bool ReadTimebase(std::int32_t& seconds, std::uint16_t& milliseconds, std::uint16_t& microseconds) noexcept;

    // The time of a given counter reading on the shared time line; false (and zeros) when unattached.
    bool ReadTimebaseAt(std::int64_t counter, std::int32_t& seconds, std::uint16_t& milliseconds,
                        std::uint16_t& microseconds) const noexcept;

    // The conversion itself, for any record value. The record must be one AttachTimebase accepts
    // (a frequency from 1 kHz to 10^12 Hz, milliseconds 0..999).
    static void TimeAt(const TimebaseRecord& record, std::int64_t counter, std::int32_t& seconds,
                       std::uint16_t& milliseconds, std::uint16_t& microseconds) noexcept;

    bool Attached() const noexcept { return mapping_.Record() != nullptr; }
    // The counter value read by the latest ReadTimebase.
    std::int64_t LastCounter() const noexcept { return lastCounter_; }
    // A copy of the shared record as it is now (attach count included); none when unattached.
    std::optional<TimebaseRecord> Record() const noexcept;

private:
    // Writes the wall clock and then the counter into the record; only its creator does this.
    static void SetTimebaseReference(TimebaseRecord& record) noexcept;

    std::int64_t lastCounter_ = 0;
    TimebaseMapping mapping_;
    // The reference fields, copied at attach (see the .cpp).
    TimebaseRecord reference_{};
};
