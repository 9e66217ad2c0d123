#pragma once
// The card's time source: which plug-in (if any) refines the frame times, and the microsecond and
// time-code offsets every frame gets. Everything is read from the registry at each grab start;
// every failure leaves the system clock in charge and is only logged.
//
// Who touches the held plug-in, and why it cannot vanish under a caller:
// - the capture thread (and the host thread draining at a start or stop) calls ProcessImageData
//   with the list locks held, and drops the plug-in when that throws;
// - any host thread calls the four queries, without a lock, at any time;
// - the host's control thread replaces or releases the plug-in at a grab start, when no capture
//   thread runs, and the card releases it when it goes.
// A plug-in dropped on the frame path is only set aside (retired), never destroyed there: the
// host may be inside one of its queries, or inside Uninitialize while a capture thread that
// outlived a stop drops it. It is destroyed at the next grab start or with the card, where no
// capture thread runs; the host's queries announce themselves in a counter, and destruction waits
// for that to reach zero after the pointer is gone. The frame path pays one atomic load.
#include <windows.h>

#include <atomic>
#include <cstdint>

#include "interfaces/ImageHeader.h"
#include "timing/TimeStamp.h"

class CTimeSourceManager {
public:
    CTimeSourceManager() = default;
    ~CTimeSourceManager();
    CTimeSourceManager(const CTimeSourceManager&) = delete;
    CTimeSourceManager& operator=(const CTimeSourceManager&) = delete;

    // Grab start, host thread, no capture thread running: reads the time source key (the host's
    // registry path below HKEY_CURRENT_USER, created when missing), loads and initialises the
    // named plug-in or selects the system clock, and reads the offsets.
    void LoadTimeSource(const wchar_t* registryPath);
    // On the plug-in held from before, if any: first step of a grab start and of a stop.
    void ClearEvents();
    void Uninitialize();

    // Frame path, list locks held. ProcessImageData on the held plug-in; false without one.
    // Exceptions pass through: the caller decides (DropAfterFailure).
    bool ProcessImageData(ImageHeader* header) const;
    // Stops using the held plug-in; it is destroyed at the next start or with the card.
    void DropAfterFailure() noexcept;
    // Logs a drop once, after the list locks are released: the line goes to whoever reads the
    // debug output, and a debug viewer that is slow to read must not hold up the frame path.
    void ReportDrop() const noexcept;
    // The two offsets, each only when configured.
    void ApplyOffsets(ImageHeader& header) const noexcept;
    void ApplyTimeSourceOffset(ImageHeader& header) const noexcept;
    void ApplyTimecodeOffset(ImageHeader& header) const noexcept;

    // The host's queries, their values passed through unchanged (IsGPSSupported's 8 bits as they
    // come); without a plug-in the first two answer 0 and the others do nothing.
    std::int32_t GetSynchronizationStatus() const;
    std::uint8_t IsGPSSupported() const;
    void GetGPSData(std::uint32_t word, bool flag) const;
    void StopReadingGPSData() const;

    bool HoldsPlugin() const noexcept { return held_.load(std::memory_order_acquire) != nullptr; }
    std::int32_t TimeSourceOffset() const noexcept { return timeSourceOffset_; }
    std::int32_t TimecodeOffset() const noexcept { return timecodeOffset_; }
    std::int32_t TimecodeFrameRate() const noexcept { return timecodeFrameRate_; }

private:
    // Marks one host query in progress for as long as it lives.
    class QueryScope {
    public:
        explicit QueryScope(const CTimeSourceManager& owner) noexcept;
        ~QueryScope();
        QueryScope(const QueryScope&) = delete;
        QueryScope& operator=(const QueryScope&) = delete;
        CTimeStamp* Plugin() const noexcept { return plugin_; }

    private:
        const CTimeSourceManager& owner_;
        CTimeStamp* plugin_;
    };

    // Publishes `next` (may be null) and destroys what was held or retired before, once no host
    // query is inside it.
    void Replace(CTimeStamp* next) noexcept;
    void WaitForQueries() const noexcept;

    std::atomic<CTimeStamp*> held_{nullptr};
    std::atomic<CTimeStamp*> retired_{nullptr};
    mutable std::atomic<int> queriesInside_{0};
    mutable std::atomic<bool> dropToReport_{false};
    std::int32_t timeSourceOffset_ = 0;   // microseconds
    std::int32_t timecodeOffset_ = 0;     // frames
    std::int32_t timecodeFrameRate_ = 30;
};
