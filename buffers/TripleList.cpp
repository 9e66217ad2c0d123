#include "buffers/TripleList.h"

#include <cstdio>

#include "platform/MessageException.h"
#include "buffers/OrvaneImage.h"
#include "platform/Diagnostics.h"

using orvane::CriticalSection;
using orvane::IntrusiveImageList;
using Guard = std::lock_guard<CriticalSection>;

CTripleList::CTripleList()
{
    // The events first: should they fail, nothing else has been attached yet.
    CreateEvents();
    timebase_.AttachTimebase();
}

CTripleList::~CTripleList()
{
    CTripleList::FreeBuffers();
    // Grabbing has been stopped by now, so nobody uses the queued images any more; they are this
    // list's to delete like the others.
    {
        Guard grabGuard(grabLock_);
        DeleteAll(grabList_);
    }
    grabEvent_.Reset();
    readEvent_.Reset();
    timebase_.DetachTimebase();
}

void CTripleList::CreateEvents()
{
    // The names carry a performance-counter reading so that every list gets a pair of its own.
    // Events of the same name are the same kernel object, and a stranger resetting our event
    // could make a waiter sleep through a frame: when the names are taken already (two lists
    // created within one counter tick), read the counter again.
    for (int attempt = 0; attempt < 8; ++attempt) {
        LARGE_INTEGER counter{};
        QueryPerformanceCounter(&counter);
        char readName[64];
        char grabName[64];
        std::snprintf(readName, sizeof readName, "ReadEvent (%f)", static_cast<double>(counter.QuadPart));
        std::snprintf(grabName, sizeof grabName, "GrabEvent (%f)", static_cast<double>(counter.QuadPart));

        orvane::UniqueKernelHandle readEvent(CreateEventA(nullptr, TRUE, FALSE, readName));
        const bool readTaken = GetLastError() == ERROR_ALREADY_EXISTS;
        orvane::UniqueKernelHandle grabEvent(CreateEventA(nullptr, TRUE, FALSE, grabName));
        const bool grabTaken = GetLastError() == ERROR_ALREADY_EXISTS;
        if (readEvent && grabEvent && !readTaken && !grabTaken) {
            readEventName_ = readName;
            grabEventName_ = grabName;
            readEvent_ = std::move(readEvent);
            grabEvent_ = std::move(grabEvent);
            return;
        }
        Sleep(0);
    }
    orvane::Trace("Orvane - Cannot create the read and grab events.");
    orvane::RaiseMessage("Orvane - Cannot create the read and grab events.");
}

bool CTripleList::StampFrameTime(CImageWrapper* image)
{
    ImageHeader* header = image != nullptr ? image->GetImage() : nullptr;
    if (header == nullptr) {
        return false;
    }
    return timebase_.ReadTimebase(header->seconds, header->milliseconds, header->microseconds);
}

bool CTripleList::StampSourceTime(ImageHeader* header)
{
    // Without a time-source plug-in the frame keeps the system-clock time.
    return timeSources_.ProcessImageData(header);
}

void CTripleList::StampCapturedImage(CImageWrapper& image)
{
    ImageHeader* header = image.GetImage();
    if (header == nullptr || header->pixels == nullptr) {
        return;
    }
    StampFrameTime(&image);
    if (timeSources_.HoldsPlugin()) {
        try {
            StampSourceTime(header);
        } catch (...) {
            // A plug-in that throws is not trusted with further frames: they keep the
            // system-clock time until the next grab start loads it again. The drop is logged by
            // the caller once the list locks are released.
            timeSources_.DropAfterFailure();
        }
    }
    timeSources_.ApplyOffsets(*header);
}

void CTripleList::DeleteImage(CImageWrapper* image)
{
    image->DisposeImage();
    delete image;
}

void CTripleList::DeleteAll(IntrusiveImageList& list)
{
    while (CImageWrapper* image = list.PopFront()) {
        DeleteImage(image);
    }
}

void CTripleList::DeleteCurrent()
{
    CImageWrapper* image = nullptr;
    {
        Guard readyGuard(readyLock_);
        image = readPosition_;
        if (image == nullptr) {
            return;
        }
        // Its buffer is not given back: the board would fill a block no image can deliver.
        TakeDescriptor(*image);
        readPosition_ = IntrusiveImageList::Next(image);
        readPositionHandedOut_ = false;
        readyList_.Remove(image);
    }
    // Out of every list now, so nobody else can reach it.
    DeleteImage(image);
}

void CTripleList::FreeBuffers()
{
    std::int32_t unread = 0;
    {
        Guard readyGuard(readyLock_);
        unread = UnreadReadyImages();
        // Cleared together with the list, so the read position never names a deleted image.
        readPosition_ = nullptr;
        readPositionHandedOut_ = false;
        DeleteAll(readyList_);
    }
    frameCounts_.CountLost(FrameLoss::Unread, unread);
    Guard freeGuard(freeLock_);
    DeleteAll(freeList_);
}

void CTripleList::ReleaseCurrent()
{
    ReleaseCurrentImage();
}

BufferDescriptor* CTripleList::ReleaseCurrentImage()
{
    BufferDescriptor* descriptor = nullptr;
    {
        Guard readyGuard(readyLock_);
        CImageWrapper* image = readPosition_;
        if (image == nullptr) {
            return nullptr;
        }
        descriptor = TakeDescriptor(*image);
        readPosition_ = IntrusiveImageList::Next(image);
        readPositionHandedOut_ = false;
        readyList_.Remove(image);
        Guard freeGuard(freeLock_);
        freeList_.PushBack(image);
    }
    WakeGrabThreads();
    return descriptor;
}

void CTripleList::ReleaseAll()
{
    ReleaseAllImages([](BufferDescriptor*) {});
}

int CTripleList::GetBufferCount()
{
    Guard readyGuard(readyLock_);
    Guard freeGuard(freeLock_);
    return readyList_.Size() + freeList_.Size();
}

CImageWrapper* CTripleList::GetFreeBuffer(bool& waited)
{
    bool queuedByBoard = false;
    return QueueFreeImage(waited, queuedByBoard);
}

CImageWrapper* CTripleList::QueueFreeImage(bool& waited, bool& queuedByBoard)
{
    waited = false;
    queuedByBoard = false;
    bool wait = false;
    {
        Guard eventGuard(grabEventLock_);
        // Only a thread that is going to wait resets the event, in one step with its look at the
        // list: a set that follows the next change of the list cannot be missed, and a busy grab
        // thread costs no event call at all.
        wait = freeList_.Empty() && queuedByBoard_.load(std::memory_order_acquire) == 0;
        if (wait) {
            ResetEvent(grabEvent_.Get());
            grabWaiters_.fetch_add(1, std::memory_order_relaxed);
        }
    }
    if (wait) {
        WaitForSingleObject(grabEvent_.Get(), INFINITE);
        grabWaiters_.fetch_sub(1, std::memory_order_relaxed);
        waited = true;
    }
    if (!freeList_.Empty()) {
        Guard freeGuard(freeLock_);
        Guard grabGuard(grabLock_);
        // Another thread may have emptied the list since the look above.
        if (CImageWrapper* image = freeList_.PopFront()) {
            grabList_.PushBack(image);
            return image;
        }
    }
    // The board filled the buffer of a free image before the host queued it, and the image went
    // to the ready list from the free list: that image counts as queued by this call. Without
    // this, a host that queues one image for each it releases (on one thread, say) would wait
    // here for an image the board has already used.
    std::int32_t credits = queuedByBoard_.load(std::memory_order_acquire);
    while (credits > 0) {
        if (queuedByBoard_.compare_exchange_weak(credits, credits - 1, std::memory_order_acq_rel)) {
            queuedByBoard = true;
            break;
        }
    }
    return nullptr;
}

bool CTripleList::FrameCaptured()
{
    bool moved = false;
    {
        Guard readyGuard(readyLock_);
        {
            Guard grabGuard(grabLock_);
            if (CImageWrapper* image = grabList_.Front()) {
                StampCapturedImage(*image);
                grabList_.Remove(image);
                readyList_.PushBack(image);
                moved = true;
            }
        }
        NoteReadyCount();
    }
    timeSources_.ReportDrop();
    if (moved) {
        frameCounts_.CountCaptured();
    }
    // Also when nothing moved: a reader woken for nothing looks again and finds the list empty.
    SignalReadEvent();
    return moved;
}

FilledImageSource CTripleList::DeliverFilledBuffer(const void* pixelAddress, BufferDescriptor* descriptor)
{
    if (pixelAddress == nullptr) {
        return FilledImageSource::None;
    }
    const auto hasPixels = [pixelAddress](CImageWrapper* image) {
        const ImageHeader* header = image->GetImage();
        return header != nullptr && header->pixels == pixelAddress;
    };
    const auto find = [&](const IntrusiveImageList& list) {
        CImageWrapper* image = list.Front();
        while (image != nullptr && !hasPixels(image)) {
            image = IntrusiveImageList::Next(image);
        }
        return image;
    };
    FilledImageSource source = FilledImageSource::None;
    {
        Guard readyGuard(readyLock_);
        // The board fills its buffers in the order they went back to it, which is the order their
        // images entered the free list and then the grab list: nearly always the first queued
        // image, found without touching the free list's lock.
        {
            Guard grabGuard(grabLock_);
            CImageWrapper* first = grabList_.Front();
            if (first != nullptr && hasPixels(first)) {
                MoveFilledImage(*first, grabList_, descriptor);
                source = FilledImageSource::Queued;
            }
        }
        if (source == FilledImageSource::None) {
            // Further back in the grab list, or not queued yet: the host's grab thread is behind
            // the board. The frame is real, so it is delivered from where its image is.
            Guard freeGuard(freeLock_);
            Guard grabGuard(grabLock_);
            if (CImageWrapper* queued = find(grabList_)) {
                MoveFilledImage(*queued, grabList_, descriptor);
                source = FilledImageSource::Queued;
            } else if (CImageWrapper* free = find(freeList_)) {
                MoveFilledImage(*free, freeList_, descriptor);
                // The next GrabNext that finds no free image counts it as the one it queued.
                queuedByBoard_.fetch_add(1, std::memory_order_acq_rel);
                source = FilledImageSource::Free;
            }
        }
        if (source != FilledImageSource::None) {
            NoteReadyCount();
        }
    }
    timeSources_.ReportDrop();
    if (source != FilledImageSource::None) {
        frameCounts_.CountCaptured();
        WakeReaders();
    }
    if (source == FilledImageSource::Free) {
        WakeGrabThreads();
    }
    return source;
}

void CTripleList::MoveFilledImage(CImageWrapper& image, IntrusiveImageList& from, BufferDescriptor* descriptor)
{
    if (auto* orvaneImage = dynamic_cast<COrvaneImage*>(&image)) {
        orvaneImage->SetDescriptor(descriptor);
    }
    StampCapturedImage(image);
    from.Remove(&image);
    readyList_.PushBack(&image);
}

void CTripleList::NoteReadyCount() noexcept
{
    const std::int32_t ready = readyList_.Size();
    readyCount_.store(ready, std::memory_order_relaxed);
    if (ready > maxReadyCount_.load(std::memory_order_relaxed)) {
        maxReadyCount_.store(ready, std::memory_order_relaxed);
    }
}

std::int32_t CTripleList::UnreadReadyImages() const noexcept
{
    const std::int32_t ready = readyList_.Size();
    return readPositionHandedOut_ && readPosition_ != nullptr ? ready - 1 : ready;
}

BufferDescriptor* CTripleList::TakeDescriptor(CImageWrapper& image) noexcept
{
    auto* orvaneImage = dynamic_cast<COrvaneImage*>(&image);
    if (orvaneImage == nullptr) {
        return nullptr;
    }
    BufferDescriptor* descriptor = orvaneImage->Descriptor();
    orvaneImage->SetDescriptor(nullptr);
    return descriptor;
}

bool CTripleList::WaitReady()
{
    {
        Guard eventGuard(readEventLock_);
        // As in GetFreeBuffer: reset only on the way into the wait.
        if (!readyList_.Empty()) {
            return false;
        }
        ResetEvent(readEvent_.Get());
        readWaiters_.fetch_add(1, std::memory_order_relaxed);
    }
    WaitForSingleObject(readEvent_.Get(), INFINITE);
    readWaiters_.fetch_sub(1, std::memory_order_relaxed);
    return true;
}

ImageHeader* CTripleList::GetCurrent(bool& waited)
{
    waited = WaitReady();
    if (readyList_.Empty()) {
        return nullptr;
    }
    Guard readyGuard(readyLock_);
    // The list may have been emptied since the look above (ReleaseAll from another thread).
    readPosition_ = readyList_.Front();
    readPositionHandedOut_ = readPosition_ != nullptr;
    return readPosition_ != nullptr ? readPosition_->GetImage() : nullptr;
}

void CTripleList::SignalGrabEvent()
{
    Guard eventGuard(grabEventLock_);
    SetEvent(grabEvent_.Get());
}

void CTripleList::SignalReadEvent()
{
    Guard eventGuard(readEventLock_);
    SetEvent(readEvent_.Get());
}

void CTripleList::WakeReaders()
{
    // A thread registers as a waiter under the event lock, after its look at the list found it
    // empty; the list was changed before this lock is taken. So either the waiter is registered
    // and is woken, or its look comes later and finds the frame: the set is only needed for a
    // thread that waits, and a reader that keeps up costs no event call per frame.
    Guard eventGuard(readEventLock_);
    if (readWaiters_.load(std::memory_order_relaxed) > 0) {
        SetEvent(readEvent_.Get());
    }
}

void CTripleList::WakeGrabThreads()
{
    Guard eventGuard(grabEventLock_);
    if (grabWaiters_.load(std::memory_order_relaxed) > 0) {
        SetEvent(grabEvent_.Get());
    }
}

void CTripleList::ResetReadPosition()
{
    Guard readyGuard(readyLock_);
    readPosition_ = nullptr;
    readPositionHandedOut_ = false;
}

void CTripleList::PrepareGrab()
{
    timeSources_.ClearEvents();
    std::int32_t unread = 0;
    {
        Guard readyGuard(readyLock_);
        Guard freeGuard(freeLock_);
        Guard grabGuard(grabLock_);
        totalBufferCount_.store(readyList_.Size() + freeList_.Size() + grabList_.Size(), std::memory_order_relaxed);
        // Images still queued were never filled in the last period (a GrabNext that landed after
        // the stop): they are no frames, so they go back to the free list as they are, and no
        // reader is woken for them.
        freeList_.AppendAll(grabList_);
        // Ready frames the host did not read go back too. The one it was handed and still reads
        // stays its current image, out of the board's reach, until it releases it.
        CImageWrapper* held = readPositionHandedOut_ ? readPosition_ : nullptr;
        unread = UnreadReadyImages();
        for (CImageWrapper* image = readyList_.Front(); image != nullptr;) {
            CImageWrapper* next = IntrusiveImageList::Next(image);
            if (image != held) {
                readyList_.Remove(image);
                freeList_.PushBack(image);
            }
            image = next;
        }
        readPosition_ = held;
        maxReadyCount_.store(0, std::memory_order_relaxed);
        // Every image is the host's to queue again in the new period.
        queuedByBoard_.store(0, std::memory_order_release);
    }
    frameCounts_.CountLost(FrameLoss::Unread, unread);
    // Outside the list locks: it reads the registry and may load a library.
    timeSources_.LoadTimeSource(RegistryPath());
}

void CTripleList::FinishGrab()
{
    timeSources_.Uninitialize();
    // Images queued but never filled are no frames: they go back to the free list, not to the
    // host. What the board did fill has been collected into the ready list before the stream
    // closed, and stays readable.
    ReturnQueuedImages();
}

void CTripleList::ReturnQueuedImages()
{
    Guard freeGuard(freeLock_);
    Guard grabGuard(grabLock_);
    freeList_.AppendAll(grabList_);
}

int CTripleList::AppendFreeImages(CImageWrapper* const* images, int count)
{
    if (images == nullptr || count < 1) {
        return 0;
    }
    FreeListAppender appender = BeginFreeListAppend();
    int taken = 0;
    for (int i = 0; i < count; ++i) {
        if (appender.Append(images[i])) {
            ++taken;
        }
    }
    return taken;
}

COrvaneImage* CTripleList::CurrentImage()
{
    Guard readyGuard(readyLock_);
    return dynamic_cast<COrvaneImage*>(readPosition_);
}

BufferDescriptor* CTripleList::CurrentDescriptor()
{
    Guard readyGuard(readyLock_);
    const auto* image = dynamic_cast<const COrvaneImage*>(readPosition_);
    return image != nullptr ? image->Descriptor() : nullptr;
}
