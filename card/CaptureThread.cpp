// The capture thread: turns the board's per-frame signals into ready images. The board has
// already written the pixels; per frame this thread only matches one address and moves one image.
#include "card/OrvaneCard.h"
#include "platform/Diagnostics.h"

using orvane::Trace;

DWORD WINAPI COrvaneCard::CaptureThreadProc(LPVOID card)
{
    static_cast<COrvaneCard*>(card)->CaptureLoop();
    return 0;
}

void COrvaneCard::CaptureLoop()
{
    Trace("Thread is running");
    HANDLE frameEvent = frameEvent_;
    while (running_.load()) {
        if (WaitForSingleObject(frameEvent, 200) != WAIT_OBJECT_0) {
            Trace("Capture thread error");
            continue;
        }
        // The frame event is auto-reset: two fills before this thread wakes look like one. Take
        // every buffer the board has filled, so none waits for a later frame's signal.
        while (running_.load() && eHD_GetStreamBuffer(modeHandle_, &currentDescriptor_) == 0) {
            // A filled buffer that no queued image is waiting for goes straight back to the board,
            // which can then fill it again; moving some other image in its place would hand the
            // host a frame that was never filled.
            if (GrabListEmpty() || !MatchFilledBuffer(currentDescriptor_->pixels, currentDescriptor_)) {
                eHD_ReleaseStreamBuffer(modeHandle_, currentDescriptor_);
                continue;
            }
            FrameCaptured();
        }
    }
    CloseHandle(frameEvent);
    Trace("Thread is dying...");
}
