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
            // system-clock time until the next grab start loads it again.
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
        ImageLeavesReadyList(*image);
        readPosition_ = IntrusiveImageList::Next(image);
        readyList_.Remove(image);
    }
    // Out of every list now, so nobody else can reach it.
    DeleteImage(image);
}

void CTripleList::FreeBuffers()
{
    {
        Guard readyGuard(readyLock_);
        // Cleared together with the list, so the read position never names a deleted image.
        readPosition_ = nullptr;
        DeleteAll(readyList_);
    }
    Guard freeGuard(freeLock_);
    DeleteAll(freeList_);
}

void CTripleList::ReleaseCurrent()
{
    {
        Guard readyGuard(readyLock_);
        CImageWrapper* image = readPosition_;
        if (image == nullptr) {
            return;
        }
        ImageLeavesReadyList(*image);
        readPosition_ = IntrusiveImageList::Next(image);
        readyList_.Remove(image);
        Guard freeGuard(freeLock_);
        freeList_.PushBack(image);
    }
    SignalGrabEvent();
}

void CTripleList::ReleaseAll()
{
    {
        Guard readyGuard(readyLock_);
        Guard freeGuard(freeLock_);
        for (CImageWrapper* image = readyList_.Front(); image != nullptr; image = IntrusiveImageList::Next(image)) {
            ImageLeavesReadyList(*image);
        }
        freeList_.AppendAll(readyList_);
        readPosition_ = nullptr;
    }
    SignalGrabEvent();
}

int CTripleList::GetBufferCount()
{
    Guard readyGuard(readyLock_);
    Guard freeGuard(freeLock_);
    return readyList_.Size() + freeList_.Size();
}

CImageWrapper* CTripleList::GetFreeBuffer(bool& waited)
{
    waited = false;
    bool empty = false;
    {
        Guard eventGuard(grabEventLock_);
        ResetEvent(grabEvent_.Get());
        empty = freeList_.Empty();
    }
    if (empty) {
        WaitForSingleObject(grabEvent_.Get(), INFINITE);
        waited = true;
    }
    if (freeList_.Empty()) {
        return nullptr;
    }
    Guard freeGuard(freeLock_);
    Guard grabGuard(grabLock_);
    // Another thread may have emptied the list since the look above.
    CImageWrapper* image = freeList_.PopFront();
    if (image != nullptr) {
        grabList_.PushBack(image);
    }
    return image;
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
        const std::int32_t ready = readyList_.Size();
        readyCount_.store(ready, std::memory_order_relaxed);
        if (ready > maxReadyCount_.load(std::memory_order_relaxed)) {
            maxReadyCount_.store(ready, std::memory_order_relaxed);
        }
    }
    // Also when nothing moved: a reader woken for nothing looks again and finds the list empty.
    SignalReadEvent();
    return moved;
}

bool CTripleList::WaitReady()
{
    {
        Guard eventGuard(readEventLock_);
        ResetEvent(readEvent_.Get());
        if (!readyList_.Empty()) {
            return false;
        }
    }
    WaitForSingleObject(readEvent_.Get(), INFINITE);
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

void CTripleList::ResetReadPosition()
{
    Guard readyGuard(readyLock_);
    readPosition_ = nullptr;
}

void CTripleList::PrepareGrab()
{
    timeSources_.ClearEvents();
    {
        Guard readyGuard(readyLock_);
        Guard freeGuard(freeLock_);
        Guard grabGuard(grabLock_);
        totalBufferCount_.store(readyList_.Size() + freeList_.Size() + grabList_.Size(), std::memory_order_relaxed);
    }
    // Images still queued from the last period are stamped and come out like filled ones ...
    while (FrameCaptured()) {
    }
    // ... and then everything starts over from the free list.
    {
        Guard readyGuard(readyLock_);
        Guard freeGuard(freeLock_);
        freeList_.AppendAll(readyList_);
        readPosition_ = nullptr;
        maxReadyCount_.store(0, std::memory_order_relaxed);
    }
    // Outside the list locks: it reads the registry and may load a library.
    timeSources_.LoadTimeSource(RegistryPath());
}

void CTripleList::FinishGrab()
{
    timeSources_.Uninitialize();
    // Images queued but never filled join the ready list too, so nothing stays with the board.
    while (FrameCaptured()) {
    }
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

bool CTripleList::MatchFilledBuffer(const void* pixelAddress, BufferDescriptor* descriptor)
{
    if (pixelAddress == nullptr) {
        return false;
    }
    Guard grabGuard(grabLock_);
    // The board fills the images in the order they were queued, so this is nearly always the first.
    CImageWrapper* match = grabList_.Front();
    while (match != nullptr) {
        const ImageHeader* header = match->GetImage();
        if (header != nullptr && header->pixels == pixelAddress) {
            break;
        }
        match = IntrusiveImageList::Next(match);
    }
    if (match == nullptr) {
        return false;
    }
    if (match != grabList_.Front()) {
        grabList_.MoveToFront(match);
    }
    if (auto* image = dynamic_cast<COrvaneImage*>(match)) {
        image->SetDescriptor(descriptor);
    }
    return true;
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
