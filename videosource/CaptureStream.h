#pragma once
// The frames of one grab period on their way downstream. Three threads of the stream's own:
//   - the grab thread keeps the module's free buffers queued for the board (GrabNext);
//   - the delivery thread takes each frame (GetCurrent), places it on the graph clock, copies it
//     into a sample from the downstream allocator, gives the frame back (ReleaseCurrent) and
//     delivers the sample; frames that arrive while the filter is paused, or before the stream
//     time reaches zero, are given back undelivered; with each frame it reads what the module has
//     counted as lost, for IAMDroppedFrames;
//   - the watchdog ends the stream (end of stream downstream, then EC_ERRORABORT) when the board
//     stops delivering while the filter runs.
// The filter starts the module's grab before Start and stops it after Stop; no thread outlives
// Stop, which wakes each one from whatever it blocks in.
#include <dshow.h>

#include <atomic>
#include <mutex>
#include <string>

#include "CorvathSdk.h"
#include "Orvane.h"
#include "interfaces/ImageHeader.h"
#include "platform/ComPtr.h"
#include "platform/OwnedHandle.h"
#include "videosource/ClockMapping.h"
#include "videosource/DropLedger.h"
#include "videosource/FrameCopy.h"

namespace orvane::videosource {

// What the stream asks of its filter, from its own threads. None of these may wait for the filter's
// state lock: a state change holds it while it stops the stream.
class StreamHost {
public:
    virtual ~StreamHost() = default;
    // Whether frames go downstream now, and the reference time at which the stream time is zero.
    virtual bool Delivering(REFERENCE_TIME& streamStart) const = 0;
    // The graph clock's time; false when the graph has no clock.
    virtual bool ClockTime(REFERENCE_TIME& now) const = 0;
    // The stream ended by itself, for `reason`: tell the graph.
    virtual void StreamAborted(HRESULT reason) = 0;
};

// Where the samples go; fixed while the filter is not stopped.
struct StreamTarget {
    ComPtr<IMemAllocator> allocator;
    ComPtr<IMemInputPin> input;
    ComPtr<IPin> peer;
    CopyPlan plan;
    REFERENCE_TIME framePeriod = 0;
};

class CaptureStream {
public:
    // The counts go to `ledger`, which the filter keeps between runs.
    CaptureStream(ICorvathGenericGrabber& grabber, StreamTarget target, StreamHost& host, DropLedger& ledger, std::string name);
    ~CaptureStream();
    CaptureStream(const CaptureStream&) = delete;
    CaptureStream& operator=(const CaptureStream&) = delete;

    // Commits the allocator and starts the threads.
    HRESULT Start();
    // Before the filter starts running: the counts, the clock offset and the watchdog start anew.
    void PrepareRun();
    // Ends the threads and decommits the allocator; false when a thread could not be ended (it is
    // then left to the process, and so is the grabber object it uses).
    bool Stop();

    // How long the running stream may go without a frame before it ends: ten frame periods, and
    // at least a second.
    DWORD StallLimitMs() const;

private:
    static DWORD WINAPI GrabEntry(LPVOID self);
    static DWORD WINAPI DeliveryEntry(LPVOID self);
    static DWORD WINAPI WatchdogEntry(LPVOID self);
    void GrabLoop();
    void DeliveryLoop();
    void WatchdogLoop();
    void HandleFrame(const ImageHeader& header, REFERENCE_TIME clockNow, bool haveClock);
    // What the module counts as lost, every cause; false when it cannot say.
    bool ModuleLosses(LONGLONG& total) const;
    HRESULT Deliver(const ImageHeader& header, REFERENCE_TIME start, LONGLONG frameNumber, bool discontinuity);
    void Log(const std::string& text) const;

    ICorvathGenericGrabber& grabber_;
    ComPtr<IOrvaneFrameCounters> moduleCounters_;  // none from a module without its own counts
    StreamTarget target_;
    StreamHost& host_;
    std::string name_;

    // The delivery thread's own: it starts them anew when it sees a new run.
    ClockMapping clock_;
    bool discontinuity_ = true;  // the next sample starts anew
    unsigned seenRun_ = 0;
    DropLedger& ledger_;          // written by the delivery thread, read by any

    std::atomic<unsigned> run_{0};    // raised by PrepareRun

    std::mutex downstream_;   // one call downstream at a time: a sample, or the end of the stream
    std::atomic<bool> stopping_{false};
    std::atomic<bool> ended_{false};  // no more samples go downstream in this run
    std::atomic<ULONGLONG> lastFrameTick_{0};
    UniqueKernelHandle stopEvent_;
    UniqueKernelHandle grabThread_;
    UniqueKernelHandle deliveryThread_;
    UniqueKernelHandle watchdogThread_;
};

}  // namespace orvane::videosource
