// The capture thread: turns the board's per-frame signals into ready images. The board has
// already written the pixels; per frame this thread only matches one address and moves one image.
//
// What it reads while host threads run: the stream's mode handle and frame event, both fixed
// before the thread starts and until it is joined (calls that would change the mode are refused
// while grabbing); the running flag (atomic). It writes the current descriptor (atomic) and never
// reads the mode record, which the host's adjustments may change meanwhile.
#include <mutex>
#include <shared_mutex>

#include "card/OrvaneCard.h"
#include "platform/Diagnostics.h"

using orvane::Trace;

namespace {

// The longest wait for the board's next frame: the thread sees a cleared running flag this soon.
constexpr DWORD kFrameWaitMilliseconds = 200;

}  // namespace

DWORD WINAPI COrvaneCard::CaptureThreadProc(LPVOID card)
{
    static_cast<COrvaneCard*>(card)->CaptureLoop();
    return 0;
}

void COrvaneCard::CaptureLoop()
{
    Trace("Thread is running");
    HANDLE frameEvent = frameEvent_;
    const DWORD mode = streamMode_;
    while (running_.load()) {
        if (WaitForSingleObject(frameEvent, kFrameWaitMilliseconds) != WAIT_OBJECT_0) {
            Trace("Capture thread error");
            continue;
        }
        // The frame event is auto-reset: two fills before this thread wakes look like one. Take
        // every buffer the board has filled, so none waits for a later frame's signal. What is
        // left when the flag clears is collected by DisableGrab before the stream closes.
        BufferDescriptor* descriptor = nullptr;
        while (running_.load() && eHD_GetStreamBuffer(mode, &descriptor) == 0) {
            currentDescriptor_.store(descriptor, std::memory_order_relaxed);
            if (!TakeFilledBuffer(descriptor)) {
                // No image to deliver it with: the board gets it back to fill again, and the
                // frame is counted as lost.
                std::shared_lock<orvane::ReaderWriterLock> gate(streamGate_);
                GiveBufferBack(descriptor);
            }
        }
    }
    CloseHandle(frameEvent);
    Trace("Thread is dying...");
}

bool COrvaneCard::TakeFilledBuffer(BufferDescriptor* descriptor)
{
    if (descriptor == nullptr) {
        return false;
    }
    // Gaps in the board's frame numbers are frames it could not fill (no buffer held, no signal,
    // its own drops): counted apart from what the module loses.
    const std::int64_t number = descriptor->frameNumber;
    const std::int64_t previous = lastFrameNumber_.exchange(number, std::memory_order_relaxed);
    if (previous >= 0 && number > previous + 1) {
        CountLost(FrameLoss::BoardSkipped, number - previous - 1);
    }
    if (DeliverFilledBuffer(descriptor->pixels, descriptor) != FilledImageSource::None) {
        return true;
    }
    // Buffers go back to the board only once their image is in the free list, and the buffer of a
    // deleted image never does: only a block no image of the card has (a board's fault) gets here.
    CountLost(FrameLoss::NoImage, 1);
    return false;
}
