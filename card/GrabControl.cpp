// Starting and stopping the board's live stream, the host's side of the frame cycle, and the
// calls that must wait until grabbing has stopped.
//
// Three things order the threads here (docs/threads.md has the whole contract):
// - The control lock makes the host's control calls (start, stop, buffers, geometry, image format,
//   profile) one at a time, so that "not grabbing" stays true while one of them replaces pixel
//   blocks or the board's mode.
// - The stream gate orders every buffer given back to the board against the stream being opened
//   and closed: give-backs hold it shared, the open and the close hold it exclusively. A descriptor
//   taken from an image under the gate therefore goes back to the stream that handed it over or
//   nowhere, never to a closed stream or to its successor.
// - Lock order: control, stream gate, release scratch, then the list locks (ready, free, grab).
//   No board library call is made with a list lock held.
#include <cstdio>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <vector>

#include "buffers/OrvaneImage.h"
#include "card/OrvaneCard.h"
#include "platform/Diagnostics.h"
#include "platform/MessageException.h"

using orvane::RaiseMessage;
using orvane::Trace;

namespace {

constexpr char kNoSignal[] = "Something is wrong with the video signal, or no video is connected.";
constexpr char kNoBuffers[] = "EnableGrab : no buffers to grab into; call AllocateBuffers first.";
constexpr char kBuffersTooSmall[] =
    "EnableGrab : the buffers are smaller than the image; allocate them again (ReallocateBuffers).";
constexpr char kNoCaptureThread[] = "EnableGrab : the capture thread could not be started.";
constexpr WORD kStatusNoSignal = 0x203;
constexpr DWORD kStopWaitMilliseconds = 500;
// A taken frame event name is tried again with the next millisecond; even a busy clock moves on
// well within this many tries.
constexpr int kFrameEventAttempts = 50;

}  // namespace

const char* COrvaneCard::CallName(ControlCall call)
{
    switch (call) {
    case ControlCall::EnableGrab: return "EnableGrab";
    case ControlCall::SetROI: return "SetROI";
    case ControlCall::ImageFormat: return "Image Format";
    case ControlCall::AllocateBuffers: return "AllocateBuffers";
    case ControlCall::FreeBuffers: return "FreeBuffers";
    case ControlCall::ReallocateBuffers: return "ReallocateBuffers";
    case ControlCall::BrowseConfigurationFile: return "BrowseConfigurationFile";
    }
    return "?";
}

void COrvaneCard::RefuseWhileGrabbing(ControlCall call) const
{
    if (!grabbing_.load()) {
        return;
    }
    // One text per call, so that the host's error object names what it did.
    switch (call) {
    case ControlCall::EnableGrab:
        orvane::RaiseIllegalCall("EnableGrab : grabbing is already enabled; call DisableGrab first.");
    case ControlCall::SetROI:
        orvane::RaiseIllegalCall("SetROI : not allowed while grabbing; call DisableGrab first.");
    case ControlCall::ImageFormat:
        orvane::RaiseIllegalCall("Image Format : not allowed while grabbing; call DisableGrab first.");
    case ControlCall::AllocateBuffers:
        orvane::RaiseIllegalCall("AllocateBuffers : not allowed while grabbing; call DisableGrab first.");
    case ControlCall::FreeBuffers:
        orvane::RaiseIllegalCall("FreeBuffers : not allowed while grabbing; call DisableGrab first.");
    case ControlCall::ReallocateBuffers:
        orvane::RaiseIllegalCall("ReallocateBuffers : not allowed while grabbing; call DisableGrab first.");
    case ControlCall::BrowseConfigurationFile:
        orvane::RaiseIllegalCall("BrowseConfigurationFile : not allowed while grabbing; call DisableGrab first.");
    }
}

std::unique_lock<orvane::CriticalSection> COrvaneCard::BeginStoppedCall(ControlCall call)
{
    std::unique_lock<orvane::CriticalSection> control(controlLock_);
    RefuseWhileGrabbing(call);
    CloseLeftoverStream(call);
    return control;
}

[[noreturn]] void COrvaneCard::RaiseBoardFailure(const std::string& what, WORD status) const
{
    const std::string text = what + StatusText(status);
    Trace(text.c_str());
    orvane::RaiseComposedMessage(text);
}

bool COrvaneCard::JoinCaptureThread(DWORD milliseconds)
{
    if (captureThread_ == nullptr) {
        return true;
    }
    if (WaitForSingleObject(captureThread_, milliseconds) != WAIT_OBJECT_0) {
        return false;
    }
    CloseHandle(captureThread_);
    captureThread_ = nullptr;
    return true;
}

HANDLE COrvaneCard::EnableGrab()
{
    std::lock_guard<orvane::CriticalSection> control(controlLock_);
    // Refused at once: a second start would drain and re-queue under a stream that is running.
    RefuseWhileGrabbing(ControlCall::EnableGrab);
    // A capture thread that outlived the last stop's half second must be gone before a new one
    // starts: two would take each other's frames.
    JoinCaptureThread(INFINITE);
    CloseLeftoverStream(ControlCall::EnableGrab);
    PrepareGrab();
    running_ = true;
    OpenStream();

    const WORD started = ReportStatus(eHD_LiveStreamMode(modeHandle_, OHD_STREAM_START), 330);
    if (started != 0) {
        Trace("EnableGrab : eHD_LiveStreamMode() - ERROR");
        // Without its producer the stream never delivers a frame: fail with the board's reason
        // rather than answer success and stay silent.
        AbandonStream();
        RaiseBoardFailure("EnableGrab : the board cannot start the stream: ", started);
    }
    captureThread_ = CreateThread(nullptr, 0, &COrvaneCard::CaptureThreadProc, this, 0, nullptr);
    if (captureThread_ == nullptr) {
        ReportStatus(eHD_LiveStreamMode(modeHandle_, OHD_STREAM_STOP), 343);
        AbandonStream();
        Trace(kNoCaptureThread);
        RaiseMessage(kNoCaptureThread);
    }
    grabbing_ = true;
    return captureThread_;
}

void COrvaneCard::OpenStream()
{
    // The stream gets the blocks of the host's images that are not ready, queued ones first, each
    // list in its order: the order the grab thread queues them, so the board fills them in the
    // order the capture thread finds them, at the front of the grab list. (The host's grab thread
    // may already be queueing for this period: it only moves images from the front of the free
    // list to the end of the grab list, which keeps that order.) The image the host still holds
    // from the last period stays in the ready list and out of the stream, so the board cannot
    // write into pixels being read; it joins the next stream once released.
    std::vector<BYTE*> queued;
    queued.reserve(static_cast<size_t>(TotalBufferCount()));
    streamBuffers_.clear();
    streamBuffers_.reserve(static_cast<size_t>(TotalBufferCount()));
    ForEachImage([&](ImageListId list, CImageWrapper* image) {
        auto* pixels = static_cast<BYTE*>(image->GetImage()->pixels);
        if (list == ImageListId::Grab) {
            queued.push_back(pixels);
        } else if (list == ImageListId::Free) {
            streamBuffers_.push_back(pixels);
        }
    });
    streamBuffers_.insert(streamBuffers_.begin(), queued.begin(), queued.end());
    if (streamBuffers_.empty()) {
        Trace(kNoBuffers);
        RaiseMessage(kNoBuffers);
    }
    // Blocks follow every size change (SetROI, a new profile, a new format reallocate them), but
    // the board must never be given a block smaller than the frames it writes: checked once more.
    const size_t frameBytes = static_cast<size_t>(imageSizeX_) * static_cast<size_t>(imageSizeY_) * 4;
    if (pixelBlocks_.SmallestBlockBytes() < frameBytes) {
        Trace(kBuffersTooSmall);
        RaiseMessage(kBuffersTooSmall);
    }
    PrepareStreamParameters();
    {
        std::unique_lock<orvane::ReaderWriterLock> gate(streamGate_);
        // Descriptors of the last stream (one stored by a capture thread that outlived the stop)
        // must never reach this one.
        ForgetDescriptors();
        streamOpenStatus_ = eHD_LiveStreamOpen(modeHandle_, &streamParameters_);
        if (streamOpenStatus_ == 0) {
            streamOpen_ = true;
            streamMode_ = modeHandle_;
            lastFrameNumber_.store(-1, std::memory_order_relaxed);
            return;
        }
    }
    // No capture thread will ever close this period's frame event: close it here.
    CloseFrameEvent();
    if (streamOpenStatus_ == kStatusNoSignal) {
        Trace("NO VIDEO SIGNAL");
        // Unattended, nobody could dismiss the box: the host gets the same text as its error alone.
        if (!Unattended()) {
            MessageBoxA(nullptr, kNoSignal, "Orvane", MB_OK);
        }
        RaiseMessage(kNoSignal);
    }
    // Any other refusal (an image format type the board cannot stream, a size it does not take)
    // would leave the host waiting for frames that never come: it fails with the board's reason.
    Trace("EnableGrab : eHD_LiveStreamOpen() - ERROR");
    RaiseBoardFailure("EnableGrab : the board cannot open the stream: ", streamOpenStatus_);
}

void COrvaneCard::DisableGrab()
{
    std::lock_guard<orvane::CriticalSection> control(controlLock_);
    running_ = false;
    // The host gets its answer within half a second. A capture thread still busy then (inside a
    // slow board call or time-source plug-in) is not abandoned: it sees the cleared flag at its
    // next turn, and the next start or the card's end joins it.
    if (!JoinCaptureThread(kStopWaitMilliseconds)) {
        Trace("DisableGrab : the capture thread is still ending");
    }
    {
        std::unique_lock<orvane::ReaderWriterLock> gate(streamGate_);
        if (ReportStatus(eHD_LiveStreamMode(modeHandle_, OHD_STREAM_STOP), 343) != 0) {
            Trace("DisableGrab : eHD_LiveStreamMode() - ERROR");
        }
        // Buffers the board filled that the capture thread had not taken yet are frames like any
        // other: collected before the stream closes, they reach the ready list.
        if (streamOpen_) {
            CollectFilledBuffers();
        }
        CloseStream("DisableGrab : eHD_LiveStreamClose() - ERROR");
        ForgetDescriptors();
    }
    FinishGrab();
    grabbing_ = false;
}

void COrvaneCard::CollectFilledBuffers()
{
    // The producer has stopped, so this ends; bounded all the same by the buffers the stream was
    // given, in case a board keeps answering.
    for (size_t taken = 0; taken <= streamBuffers_.size(); ++taken) {
        BufferDescriptor* descriptor = nullptr;
        if (eHD_GetStreamBuffer(streamMode_, &descriptor) != 0 || descriptor == nullptr) {
            return;
        }
        // One no image takes needs no give-back: the stream is about to close.
        TakeFilledBuffer(descriptor);
    }
}

bool COrvaneCard::CloseStream(const char* failureLine)
{
    const WORD status = ReportStatus(eHD_LiveStreamClose(modeHandle_, &streamParameters_), 346);
    if (status != 0) {
        Trace(failureLine);
        if (streamOpen_) {
            // The board still holds this stream's blocks and knows it by this very record: both
            // stay as they are until a close succeeds (CloseLeftoverStream), and nothing frees or
            // re-opens the blocks before that.
            lastCloseStatus_ = status;
            return false;
        }
    }
    streamOpen_ = false;
    return true;
}

void COrvaneCard::CloseLeftoverStream(ControlCall call)
{
    std::unique_lock<orvane::ReaderWriterLock> gate(streamGate_);
    if (!streamOpen_ || grabbing_.load()) {
        return;
    }
    ReportStatus(eHD_LiveStreamMode(modeHandle_, OHD_STREAM_STOP), 343);
    if (!CloseStream("Orvane - the last stream is still open: eHD_LiveStreamClose() - ERROR")) {
        gate.unlock();
        RaiseBoardFailure(std::string(CallName(call)) + " : the board still holds the buffers of the last stream: ",
                          lastCloseStatus_);
    }
}

void COrvaneCard::AbandonStream()
{
    {
        std::unique_lock<orvane::ReaderWriterLock> gate(streamGate_);
        CloseStream("EnableGrab : eHD_LiveStreamClose() - ERROR");
        ForgetDescriptors();
    }
    // No capture thread will close this period's frame event.
    CloseFrameEvent();
}

void COrvaneCard::ForgetDescriptors()
{
    // A closed stream has forgotten its buffers: descriptors still held by images name nothing the
    // board could take back, and must never reach a later stream.
    ForEachImage([](ImageListId, CImageWrapper* image) {
        if (auto* orvaneImage = dynamic_cast<COrvaneImage*>(image)) {
            orvaneImage->SetDescriptor(nullptr);
        }
    });
}

void COrvaneCard::CloseFrameEvent()
{
    if (frameEvent_ != nullptr) {
        CloseHandle(frameEvent_);
    }
    frameEvent_ = nullptr;
    streamParameters_.frameEvent = nullptr;
}

void COrvaneCard::PrepareStreamParameters()
{
    streamParameters_ = StreamParameters{};
    streamParameters_.size = sizeof streamParameters_;
    streamParameters_.buffers = streamBuffers_.data();
    streamParameters_.bufferCount = static_cast<DWORD>(streamBuffers_.size());
    streamParameters_.formatType = imageFormatType_;
    streamParameters_.height = imageSizeY_;
    streamParameters_.width = imageSizeX_;

    // A fresh, uniquely named event per grab period: the wall-clock time to the millisecond. Events
    // of the same name are one kernel object, so another card (in this process or another) that
    // starts in the same millisecond would share it and the two capture threads would take each
    // other's wake-ups: when the name is taken, wait for the clock to move on and name it again.
    frameEvent_ = nullptr;
    for (int attempt = 0; attempt < kFrameEventAttempts; ++attempt) {
        FILETIME now{};
        GetSystemTimeAsFileTime(&now);
        const ULONGLONG ticks = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
        const ULONGLONG unixMs = (ticks - 116444736000000000ull) / 10000ull;
        char name[64];
        std::snprintf(name, sizeof name, "ORVANE_VIDEOFRAMECAPTURED(%u:%hu)", static_cast<unsigned>(unixMs / 1000),
                      static_cast<unsigned short>(unixMs % 1000));
        HANDLE event = CreateEventA(nullptr, FALSE, FALSE, name);
        if (event != nullptr && GetLastError() != ERROR_ALREADY_EXISTS) {
            frameEvent_ = event;
            break;
        }
        if (event != nullptr) {
            CloseHandle(event);
        }
        Sleep(1);
    }
    streamParameters_.frameEvent = frameEvent_;
}

bool COrvaneCard::GrabNext()
{
    bool waited = false;
    bool queuedByBoard = false;
    return (QueueFreeImage(waited, queuedByBoard) != nullptr || queuedByBoard) && waited;
}

void COrvaneCard::ReleaseCurrent()
{
    if (CurrentImage() == nullptr) {
        Trace("SEVERE ERROR : SHOULD NEVER EXECUTE");
        return;
    }
    // The image is in the free list before its buffer goes back: whenever the board fills the
    // buffer again, the capture thread finds an image to deliver it with. Given back in the other
    // order, a board faster than the host's grab thread refilled buffers whose images were still
    // on their way, and those frames were lost.
    std::shared_lock<orvane::ReaderWriterLock> gate(streamGate_);
    GiveBufferBack(ReleaseCurrentImage());
}

void COrvaneCard::ReleaseAll()
{
    std::shared_lock<orvane::ReaderWriterLock> gate(streamGate_);
    std::lock_guard<orvane::CriticalSection> scratch(releaseScratchLock_);
    // Reserved for every image when the buffers were allocated: nothing is allocated here.
    releaseScratch_.clear();
    ReleaseAllImages([this](BufferDescriptor* descriptor) {
        if (descriptor != nullptr) {
            releaseScratch_.push_back(descriptor);
        }
    });
    for (BufferDescriptor* descriptor : releaseScratch_) {
        GiveBufferBack(descriptor);
    }
}

void COrvaneCard::GiveBufferBack(BufferDescriptor* descriptor)
{
    if (descriptor == nullptr || !streamOpen_) {
        return;
    }
    if (ReportStatus(eHD_ReleaseStreamBuffer(streamMode_, descriptor), 295) != 0) {
        Trace("ReleaseCurrent() - eHD_ReleaseStreamBuffer ERROR");
    }
}

void COrvaneCard::BrowseConfigurationFile()
{
    const auto control = BeginStoppedCall(ControlCall::BrowseConfigurationFile);
    LoadConfigFile(nullptr);
}
