// Starting and stopping the board's live stream, and the host's side of the frame cycle.
#include <cstdio>

#include "platform/MessageException.h"
#include "card/OrvaneCard.h"
#include "buffers/OrvaneImage.h"
#include "platform/Diagnostics.h"

using orvane::RaiseMessage;
using orvane::Trace;

namespace {

constexpr char kNoSignal[] = "Something is wrong with the video signal, or no video is connected.";
constexpr WORD kStatusNoSignal = 0x203;
// A taken frame event name is tried again with the next millisecond; even a busy clock moves on
// well within this many tries.
constexpr int kFrameEventAttempts = 50;

}  // namespace

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
    // A capture thread that outlived the last stop's half second must be gone before a new one
    // starts: two would take each other's frames.
    JoinCaptureThread(INFINITE);
    PrepareGrab();
    running_ = true;
    PrepareStreamParameters();

    streamOpenStatus_ = eHD_LiveStreamOpen(modeHandle_, &streamParameters_);
    if (streamOpenStatus_ == kStatusNoSignal) {
        Trace("NO VIDEO SIGNAL");
        // No capture thread will ever close this period's frame event: close it here.
        CloseHandle(frameEvent_);
        frameEvent_ = nullptr;
        streamParameters_.frameEvent = nullptr;
        // Unattended, nobody could dismiss the box: the host gets the same text as its error alone.
        if (!Unattended()) {
            MessageBoxA(nullptr, kNoSignal, "Orvane", MB_OK);
        }
        RaiseMessage(kNoSignal);
    }

    if (ReportStatus(eHD_LiveStreamMode(modeHandle_, 1), 330) != 0) {
        Trace("EnableGrab : eHD_LiveStreamMode() - ERROR");
    }
    captureThread_ = CreateThread(nullptr, 0, &COrvaneCard::CaptureThreadProc, this, 0, nullptr);
    return captureThread_;
}

void COrvaneCard::DisableGrab()
{
    running_ = false;
    // The host gets its answer within half a second. A capture thread still busy then (inside a
    // slow board call or time-source plug-in) is not abandoned: it sees the cleared flag at its
    // next turn, and the next start or the card's end joins it.
    if (!JoinCaptureThread(500)) {
        Trace("DisableGrab : the capture thread is still ending");
    }
    if (ReportStatus(eHD_LiveStreamMode(modeHandle_, 3), 343) != 0) {
        Trace("DisableGrab : eHD_LiveStreamMode() - ERROR");
    }
    if (ReportStatus(eHD_LiveStreamClose(modeHandle_, &streamParameters_), 346) != 0) {
        Trace("DisableGrab : eHD_LiveStreamClose() - ERROR");
    }
    // The closed stream has forgotten its buffers: descriptors still held by images name nothing
    // the board could take back.
    ForEachImage([](ImageListId, CImageWrapper* image) { static_cast<COrvaneImage*>(image)->SetDescriptor(nullptr); });
    FinishGrab();
}

void COrvaneCard::PrepareStreamParameters()
{
    streamParameters_ = StreamParameters{};
    streamParameters_.size = sizeof streamParameters_;
    streamParameters_.buffers = reinterpret_cast<BYTE**>(pixelBlocks_.Addresses());
    streamParameters_.bufferCount = static_cast<DWORD>(pixelBlocks_.Count());
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
    return GetFreeBuffer(waited) != nullptr && waited;
}

void COrvaneCard::ReleaseCurrent()
{
    if (CurrentImage() == nullptr) {
        Trace("SEVERE ERROR : SHOULD NEVER EXECUTE");
        return;
    }
    CTripleList::ReleaseCurrent();
}

void COrvaneCard::ImageLeavesReadyList(CImageWrapper& wrapper)
{
    // Each filled buffer goes back exactly once, whichever way its image leaves the ready list
    // (released, released with all others, or deleted): a buffer never given back is one the
    // board can no longer fill, and one given back twice corrupts the board's queue. Images that
    // were never filled (drained at a stop) hold no buffer.
    auto& image = static_cast<COrvaneImage&>(wrapper);
    BufferDescriptor* descriptor = image.Descriptor();
    if (descriptor == nullptr) {
        return;
    }
    image.SetDescriptor(nullptr);
    if (ReportStatus(eHD_ReleaseStreamBuffer(modeHandle_, descriptor), 295) != 0) {
        Trace("ReleaseCurrent() - eHD_ReleaseStreamBuffer ERROR");
    }
}
