#pragma once
// One host session with the grabber object, run the way a host application runs it: the control
// thread (the owner of this object) initialises, allocates and enables; a grab thread keeps
// free buffers queued with GrabNext; a read thread takes each frame with GetCurrent, shows it to a
// FrameSink and gives it back with ReleaseCurrent.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "CorvathSdk.h"
#include "interfaces/ImageHeader.h"
#include "platform/OwnedHandle.h"
#include "platform/ComPtr.h"
#include "tools/common/GrabberFactory.h"
#include "tools/common/RegistryPath.h"

namespace orvane::host {

// Sees every delivered frame on the read thread, between GetCurrent and ReleaseCurrent: the pixels
// are valid only during the call.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    virtual void OnFrame(const ImageHeader& header, LONGLONG deliveredQpc) = 0;
};

struct SessionSettings {
    std::wstring registryPath = kDefaultRegistryPath;  // with its trailing separator
    std::string profilePath;  // full path, stored as "Board File" under the module key; empty: as it is
    // Stored as "Unattended" under the module key: 1 = the module opens no window, and fails with
    // the reason where it would have asked.
    bool unattended = true;
    short buffers = 8;
    Creation creation = Creation::Registered;
    std::string format;       // image format to select (choice name or type number); empty: keep the module's
    // Stop reads the frames still ready after DisableGrab (those the module collected at the stop)
    // before the read thread ends, as a host that wants every frame does.
    bool readAfterStop = false;
};

// The frames as the module describes them once the buffers are allocated.
struct ImageGeometry {
    LONG width = 0;
    LONG height = 0;
    LONG bitsPerPixel = 0;
    LONG significantBits = 0;
    LONG formatCode = 0;
    LONG imageBytes = 0;
    bool reported = false;   // the image interface answered all of the above
    LONG formatType = -1;    // -1: the module tells neither the type nor a format code
    std::string formatName;  // the module's name for the type; empty when it does not list it
};

enum class FormatOutcome {
    NotAsked,
    Selected,
    NotSelectable,  // the module offers no image format setting: it keeps its own (see FormatNote)
    NoSuchChoice,   // the request names no format the module offers: the caller's mistake
    Failed,
};

struct SessionCounters {
    std::uint64_t delivered = 0;    // frames handed to the sink
    std::uint64_t grabCalls = 0;    // GrabNext calls
    std::uint64_t grabOverruns = 0; // GrabNext answered S_FALSE: it waited for a free buffer
    std::uint64_t readOverruns = 0; // GetCurrent answered S_FALSE with a frame: it waited for one
    std::uint64_t emptyReads = 0;   // GetCurrent woke without a frame
    std::uint64_t failures = 0;     // calls that failed outright
};

// What the module itself counts of the board's frames (IOrvaneFrameCounters, since
// InitializeGrabber), apart from what the board's own counters say.
struct ModuleFrameCounts {
    bool available = false;         // the module has the interface
    std::int64_t captured = 0;      // frames the board filled that reached the ready list
    std::int64_t lostNoImage = 0;   // filled buffers no image could take
    std::int64_t lostUnread = 0;    // frames let go unread (restart, FreeBuffers, ReleaseAll)
    std::int64_t boardSkipped = 0;  // frame numbers the board skipped: its own drops, as the module saw them
    std::int64_t Lost() const { return lostNoImage + lostUnread; }
};

class GrabberSession {
public:
    GrabberSession() = default;
    ~GrabberSession();
    GrabberSession(const GrabberSession&) = delete;
    GrabberSession& operator=(const GrabberSession&) = delete;

    // Stores the profile as the board file, creates and initialises the object, selects the image
    // format asked for (before the buffers, whose size depends on it) and allocates the buffers.
    // On failure `error` holds a sentence for the user; FormatResult() tells whether the format
    // request was at fault.
    bool Open(const SessionSettings& settings, std::string& error);

    // EnableGrab and the two threads; the read thread ends by itself after `frameLimit` frames
    // (0 = no limit) and then sets FramesDone().
    bool Start(FrameSink& sink, std::uint64_t frameLimit, std::string& error);

    // True once the frame limit is reached; waits at most `milliseconds`.
    bool WaitForFrames(DWORD milliseconds) const;

    // Ends the threads (waking them with SignalGrabEvent/SignalReadEvent) and disables grabbing.
    // Safe to call more than once.
    bool Stop(std::string& error);

    SessionCounters Counters() const;
    // Read from the module; `available` false when it has no such interface.
    ModuleFrameCounts FrameCounts() const;
    const ImageGeometry& Geometry() const { return geometry_; }
    FormatOutcome FormatResult() const { return formatOutcome_; }
    const std::string& FormatNote() const { return formatNote_; }
    LONG MaxReadyCount() const;
    // The grabber object, for the host's other interfaces; null before Open.
    ICorvathGenericGrabber* Object() const { return grabber_.Get(); }
    HANDLE GrabThread() const { return grabThread_.Get(); }
    HANDLE ReadThread() const { return readThread_.Get(); }

private:
    static DWORD WINAPI GrabEntry(LPVOID self);
    static DWORD WINAPI ReadEntry(LPVOID self);
    void GrabLoop();
    void ReadLoop();
    bool StoreModuleValues(const SessionSettings& settings, std::string& error);
    bool SelectFormat(const std::string& request, std::string& error);
    void ReadGeometry();
    // Ends one of the two threads, waking it with `wake` meanwhile; false (and stuck) after 5 s.
    template <typename Wake>
    bool EndThread(HANDLE thread, Wake&& wake, std::string& error);

    GrabberFactory factory_;  // declared first: the module stays loaded until the object is gone
    ComPtr<ICorvathGenericGrabber> grabber_;
    ImageGeometry geometry_;
    FormatOutcome formatOutcome_ = FormatOutcome::NotAsked;
    std::string formatNote_;
    FrameSink* sink_ = nullptr;
    std::uint64_t frameLimit_ = 0;
    bool enabled_ = false;
    bool stuck_ = false;
    bool readAfterStop_ = false;
    std::atomic<bool> running_{false};
    std::atomic<bool> grabbing_{false};  // the grab thread's own flag: it may end before the read thread
    std::atomic<bool> draining_{false};  // the read thread ends at the first wake-up without a frame
    UniqueKernelHandle framesDone_;
    UniqueKernelHandle grabThread_;
    UniqueKernelHandle readThread_;

    std::atomic<std::uint64_t> delivered_{0};
    std::atomic<std::uint64_t> grabCalls_{0};
    std::atomic<std::uint64_t> grabOverruns_{0};
    std::atomic<std::uint64_t> readOverruns_{0};
    std::atomic<std::uint64_t> emptyReads_{0};
    std::atomic<std::uint64_t> failures_{0};
};

}  // namespace orvane::host
