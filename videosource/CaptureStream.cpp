#include "videosource/CaptureStream.h"

#include <algorithm>

#include "interfaces/ImageHeader.h"
#include "platform/ComApartment.h"
#include "platform/Diagnostics.h"
#include "tools/common/ComErrorText.h"
#include "videosource/VideoSourceIds.h"

namespace orvane::videosource {

namespace {

constexpr DWORD kStopBoundMs = 5000;
constexpr DWORD kWakeIntervalMs = 20;
constexpr DWORD kWatchIntervalMs = 100;
constexpr DWORD kMinimumStallMs = 1000;
constexpr LONGLONG kStallPeriods = 10;
constexpr DWORD kRetryAfterFailureMs = 10;

}  // namespace

CaptureStream::CaptureStream(ICorvathGenericGrabber& grabber, StreamTarget target, StreamHost& host, DropLedger& ledger,
                             std::string name)
    : grabber_(grabber), target_(std::move(target)), host_(host), name_(std::move(name)), ledger_(ledger)
{
    grabber_.QueryInterface(IID_IOrvaneFrameCounters, moduleCounters_.PutVoid());
}

bool CaptureStream::ModuleLosses(LONGLONG& total) const
{
    total = 0;
    if (!moduleCounters_) {
        return false;
    }
    for (const OrvaneFrameLoss cause : {OrvaneLossNoImage, OrvaneLossUnread, OrvaneLossBoardSkipped}) {
        LONGLONG count = 0;
        if (FAILED(moduleCounters_->GetFramesLost(cause, &count))) {
            return false;
        }
        total += count;
    }
    return true;
}

CaptureStream::~CaptureStream()
{
    Stop();
}

void CaptureStream::Log(const std::string& text) const
{
    Trace(("OrvaneVideoSource - " + name_ + ": " + text).c_str());
}

DWORD CaptureStream::StallLimitMs() const
{
    const LONGLONG periods = target_.framePeriod * kStallPeriods / 10'000;
    return static_cast<DWORD>(std::max<LONGLONG>(kMinimumStallMs, periods));
}

HRESULT CaptureStream::Start()
{
    HRESULT result = target_.allocator->Commit();
    if (FAILED(result)) {
        Log("the downstream allocator cannot be committed");
        return result;
    }
    stopping_ = false;
    ended_ = false;
    lastFrameTick_ = GetTickCount64();
    stopEvent_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    grabThread_.Reset(CreateThread(nullptr, 0, &CaptureStream::GrabEntry, this, 0, nullptr));
    deliveryThread_.Reset(CreateThread(nullptr, 0, &CaptureStream::DeliveryEntry, this, 0, nullptr));
    watchdogThread_.Reset(CreateThread(nullptr, 0, &CaptureStream::WatchdogEntry, this, 0, nullptr));
    if (!stopEvent_ || !grabThread_ || !deliveryThread_ || !watchdogThread_) {
        Stop();
        return HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_MEMORY);
    }
    return S_OK;
}

void CaptureStream::PrepareRun()
{
    lastFrameTick_ = GetTickCount64();
    ++run_;
}

bool CaptureStream::Stop()
{
    stopping_ = true;
    if (stopEvent_) {
        SetEvent(stopEvent_.Get());
    }
    // A delivery thread waiting for a sample buffer returns with VFW_E_NOT_COMMITTED.
    target_.allocator->Decommit();
    HANDLE threads[3];
    DWORD count = 0;
    for (const UniqueKernelHandle* thread : {&grabThread_, &deliveryThread_, &watchdogThread_}) {
        if (*thread) {
            threads[count++] = thread->Get();
        }
    }
    // A blocked GrabNext or GetCurrent returns only when its event is set: set both until every
    // thread has seen the stop.
    const ULONGLONG deadline = GetTickCount64() + kStopBoundMs;
    while (count > 0) {
        grabber_.SignalGrabEvent();
        grabber_.SignalReadEvent();
        if (WaitForMultipleObjects(count, threads, TRUE, kWakeIntervalMs) == WAIT_OBJECT_0) {
            break;
        }
        if (GetTickCount64() > deadline) {
            Log("the streaming threads did not end within 5 s of the stop");
            return false;
        }
    }
    grabThread_.Reset();
    deliveryThread_.Reset();
    watchdogThread_.Reset();
    return true;
}

DWORD WINAPI CaptureStream::GrabEntry(LPVOID self)
{
    static_cast<CaptureStream*>(self)->GrabLoop();
    return 0;
}

DWORD WINAPI CaptureStream::DeliveryEntry(LPVOID self)
{
    static_cast<CaptureStream*>(self)->DeliveryLoop();
    return 0;
}

DWORD WINAPI CaptureStream::WatchdogEntry(LPVOID self)
{
    static_cast<CaptureStream*>(self)->WatchdogLoop();
    return 0;
}

void CaptureStream::GrabLoop()
{
    const ComApartment apartment(COINIT_MULTITHREADED);
    while (!stopping_) {
        if (FAILED(grabber_.GrabNext())) {
            WaitForSingleObject(stopEvent_.Get(), kRetryAfterFailureMs);
        }
    }
}

void CaptureStream::DeliveryLoop()
{
    const ComApartment apartment(COINIT_MULTITHREADED);
    while (!stopping_) {
        ULONG_PTR address = 0;
        const HRESULT result = grabber_.GetCurrent(&address);
        if (FAILED(result)) {
            WaitForSingleObject(stopEvent_.Get(), kRetryAfterFailureMs);
            continue;
        }
        if (address == 0) {
            continue;  // woken without a frame
        }
        REFERENCE_TIME clockNow = 0;
        const bool haveClock = host_.ClockTime(clockNow);
        lastFrameTick_ = GetTickCount64();
        if (!stopping_) {
            HandleFrame(*reinterpret_cast<const ImageHeader*>(address), clockNow, haveClock);
        }
        grabber_.ReleaseCurrent();
    }
}

void CaptureStream::HandleFrame(const ImageHeader& header, REFERENCE_TIME clockNow, bool haveClock)
{
    REFERENCE_TIME streamStart = 0;
    if (!host_.Delivering(streamStart) || ended_) {
        return;
    }
    if (const unsigned run = run_; run != seenRun_) {
        seenRun_ = run;
        clock_.Restart(target_.framePeriod);
        ledger_.Start(target_.framePeriod);
        discontinuity_ = true;
    }
    const REFERENCE_TIME headerTime = HeaderTime(header.seconds, header.milliseconds, header.microseconds);
    REFERENCE_TIME start = 0;
    if (haveClock) {
        const ClockMapping::Placement placed = clock_.Place(headerTime, clockNow);
        discontinuity_ = discontinuity_ || placed.relearnt;
        start = placed.time - streamStart;
        if (start < 0) {
            return;  // before the stream's start: not part of it
        }
    }
    // Read before the frame is placed: what the module lost before this frame, which the gap in
    // the times shows too (and counted once, by the module, where it counts).
    if (LONGLONG lost = 0; ModuleLosses(lost)) {
        ledger_.ModuleLost(lost);
    }
    LONGLONG frameNumber = 0;
    if (ledger_.Arrived(headerTime, frameNumber) > 0) {
        discontinuity_ = true;
    }
    const HRESULT result = Deliver(header, haveClock ? start : -1, frameNumber, discontinuity_);
    if (result == S_OK) {
        discontinuity_ = false;
        return;
    }
    if (result == VFW_E_NOT_COMMITTED || result == VFW_E_WRONG_STATE) {
        return;  // the stream is stopping or has ended
    }
    REFERENCE_TIME ignored = 0;
    if (!host_.Delivering(ignored)) {
        return;  // the graph is stopping downstream first: not a refusal
    }
    ledger_.Discarded(frameNumber);
    discontinuity_ = true;
    if (result == S_FALSE || FAILED(result)) {
        // Downstream wants no more (S_FALSE) or failed, and has told the graph itself.
        ended_ = true;
        Log("downstream refused a sample (" + host::HresultHex(result) + "): no more samples in this run");
    }
}

HRESULT CaptureStream::Deliver(const ImageHeader& header, REFERENCE_TIME start, LONGLONG frameNumber, bool discontinuity)
{
    IMediaSample* raw = nullptr;
    HRESULT result = target_.allocator->GetBuffer(&raw, nullptr, nullptr, 0);
    if (FAILED(result)) {
        return result;
    }
    const ComPtr<IMediaSample> sample = ComPtr<IMediaSample>::Adopt(raw);
    BYTE* data = nullptr;
    const size_t bytes = target_.plan.TargetBytes();
    if (FAILED(result = sample->GetPointer(&data))) {
        return result;
    }
    if (static_cast<size_t>(sample->GetSize()) < bytes || header.pixels == nullptr) {
        return E_UNEXPECTED;
    }
    CopyFrame(static_cast<const BYTE*>(header.pixels), data, target_.plan);
    sample->SetActualDataLength(static_cast<long>(bytes));
    if (start >= 0) {
        REFERENCE_TIME end = start + target_.framePeriod;
        sample->SetTime(&start, &end);
    } else {
        sample->SetTime(nullptr, nullptr);
    }
    LONGLONG mediaEnd = frameNumber + 1;
    sample->SetMediaTime(&frameNumber, &mediaEnd);
    sample->SetSyncPoint(TRUE);
    sample->SetDiscontinuity(discontinuity ? TRUE : FALSE);
    {
        const std::lock_guard<std::mutex> lock(downstream_);
        if (ended_ || stopping_) {
            return VFW_E_WRONG_STATE;
        }
        result = target_.input->Receive(sample.Get());
    }
    if (result == S_OK) {
        ledger_.Delivered(bytes);
    }
    return result;
}

void CaptureStream::WatchdogLoop()
{
    const ComApartment apartment(COINIT_MULTITHREADED);
    const DWORD limit = StallLimitMs();
    while (WaitForSingleObject(stopEvent_.Get(), kWatchIntervalMs) == WAIT_TIMEOUT) {
        REFERENCE_TIME ignored = 0;
        if (ended_ || !host_.Delivering(ignored) || GetTickCount64() - lastFrameTick_ < limit) {
            continue;
        }
        Log("no frame for " + std::to_string(limit) + " ms: the board stopped delivering, the stream ends");
        // The abort first, so that the application learns why before the end of the stream
        // reaches the renderers (which report it as a completion).
        host_.StreamAborted(kBoardStalled);
        const std::lock_guard<std::mutex> lock(downstream_);
        ended_ = true;
        target_.peer->EndOfStream();
    }
}

}  // namespace orvane::videosource
