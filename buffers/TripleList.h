#pragma once
// The card's images live in three lists: free (empty, waiting to be queued), grab (queued by the
// host's grab thread, in the order the board is expected to fill them) and ready (filled and
// time-stamped, oldest first, waiting for the host). The capture thread and the host's grab, read
// and control threads meet here (docs/threads.md).
//
// Only frames the board filled enter the ready list, in the order it filled them: from the grab
// list as a rule, from the free list when the board refilled a buffer before the host queued its
// image again. An image leaves the ready list with its buffer descriptor taken from it, which the
// card gives back to the board only once the image is in the free list and no list lock is held.
//
// Locking: each list has its own lock, and the read position is guarded by the ready-list lock.
// When several list locks are held they are taken in the order ready, free, grab. Every move of an
// image between two lists happens with both locks held, so an image is always in exactly one list
// (or deleted). The read and grab events each have their own lock, which is never held together
// with a list lock: it makes "reset the event, look at the list" one step with respect to "set the
// event", and since the list is always changed before the event is set, a waiter cannot miss a
// frame or a free image. Both events are manual-reset and only a thread about to wait resets them,
// so one set wakes every thread waiting at that moment; a frame or free image that arrives while
// nobody waits sets nothing (WakeReaders, WakeGrabThreads).
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/CriticalSection.h"
#include "interfaces/ImageHeader.h"
#include "buffers/FrameCounters.h"
#include "buffers/ImageWrapper.h"
#include "buffers/IntrusiveImageList.h"
#include "platform/OwnedHandle.h"
#include "timing/SharedTimebase.h"
#include "timing/TimeSourceManager.h"

struct BufferDescriptor;
class COrvaneImage;

enum class ImageListId { Ready, Free, Grab };

// Where the image of a filled buffer was found (DeliverFilledBuffer).
enum class FilledImageSource { Queued, Free, None };

class CTripleList {
public:
    CTripleList();
    CTripleList(const CTripleList&) = delete;
    CTripleList& operator=(const CTripleList&) = delete;

    // The virtual operations keep this order; the card overrides some and adds its own after them.
    virtual bool StampFrameTime(CImageWrapper* image);
    virtual bool StampSourceTime(ImageHeader* header);
    // Each writes one value under the module key (HKEY_CURRENT_USER), creating the key when
    // missing, and returns the registry status.
    virtual LONG SetRegistryBinary(const char* valueName, const void* data, DWORD size);
    virtual LONG SetRegistryDword(DWORD value, const char* valueName);
    virtual LONG SetRegistryString(const char* text, const char* valueName);
    virtual ~CTripleList();
    virtual void AllocateBuffers(int count) = 0;
    virtual void ReallocateBuffers() = 0;
    virtual void DeleteCurrent();
    virtual void FreeBuffers();
    virtual void ReleaseCurrent();
    virtual void ReleaseAll();
    virtual int GetBufferCount();
    virtual CImageWrapper* GetFreeBuffer(bool& waited);
    virtual bool GrabNext() = 0;
    virtual bool FrameCaptured();
    virtual ImageHeader* GetCurrent(bool& waited);
    virtual void PrepareGrab();
    virtual void FinishGrab();

    // For the capture thread (and the stop, which collects what the board filled last): the image
    // whose pixels start at `pixelAddress` takes the descriptor, is stamped and moves to the end of
    // the ready list, from the grab list (nearly always its first image) or, when the board filled
    // its buffer before the host queued it again, from the free list. Frames therefore reach the
    // ready list in the order the board filled them. None, and nothing changed, when no queued or
    // free image has those pixels.
    FilledImageSource DeliverFilledBuffer(const void* pixelAddress, BufferDescriptor* descriptor);

    // True when it had to wait for the read event.
    bool WaitReady();
    void SignalGrabEvent();
    void SignalReadEvent();
    void ResetReadPosition();

    // Usage counters for the host, read without a lock.
    std::int32_t TotalBufferCount() const noexcept { return totalBufferCount_.load(std::memory_order_relaxed); }
    std::int32_t ReadyCount() const noexcept { return readyCount_.load(std::memory_order_relaxed); }
    std::int32_t MaxReadyCount() const noexcept { return maxReadyCount_.load(std::memory_order_relaxed); }

    // What became of the frames the board filled.
    const CFrameCounters& FrameCounts() const noexcept { return frameCounts_; }

    // Sizes read without a lock: exact only while nobody changes the lists.
    bool GrabListEmpty() const noexcept { return grabList_.Empty(); }
    std::int32_t ReadyListSize() const noexcept { return readyList_.Size(); }
    std::int32_t FreeListSize() const noexcept { return freeList_.Size(); }
    std::int32_t GrabListSize() const noexcept { return grabList_.Size(); }

    // Calls visit(ImageListId, CImageWrapper*) for every image, ready list first, each list in
    // order, with all three list locks held: a consistent picture even while frames flow.
    // `visit` must not call an operation that takes a list lock or waits.
    template <typename Visit>
    void ForEachImage(Visit&& visit)
    {
        std::lock_guard<orvane::CriticalSection> readyGuard(readyLock_);
        std::lock_guard<orvane::CriticalSection> freeGuard(freeLock_);
        std::lock_guard<orvane::CriticalSection> grabGuard(grabLock_);
        VisitList(ImageListId::Ready, readyList_, visit);
        VisitList(ImageListId::Free, freeList_, visit);
        VisitList(ImageListId::Grab, grabList_, visit);
    }

    // The host's registry path (null when it passed none), the board name and the module key.
    const wchar_t* RegistryPath() const noexcept { return registryPath_ ? registryPath_->c_str() : nullptr; }
    const std::wstring& BoardName() const noexcept { return boardName_; }
    const std::wstring& ModuleKey() const noexcept { return moduleKey_; }

    // The time source: the plug-in and offsets every captured frame is stamped with.
    CTimeSourceManager& TimeSources() noexcept { return timeSources_; }
    const CTimeSourceManager& TimeSources() const noexcept { return timeSources_; }

    const std::string& ReadEventName() const noexcept { return readEventName_; }
    const std::string& GrabEventName() const noexcept { return grabEventName_; }

protected:
    // The list parts of ReleaseCurrent and ReleaseAll. Each image leaves the ready list for the
    // free list with its descriptor taken from it, which the caller (the card) gives back to the
    // board once no list lock is held any more: the image is free before the board can fill its
    // buffer again. ReleaseCurrentImage answers the descriptor (null with no read position or an
    // image that holds none); ReleaseAllImages hands each one to take(BufferDescriptor*), called
    // with the ready- and free-list locks held (it must not call into the lists).
    BufferDescriptor* ReleaseCurrentImage();
    template <typename Take>
    void ReleaseAllImages(Take&& take);

    // GetFreeBuffer's work: the first free image goes to the end of the grab list and is answered;
    // with none, an image the board took from the free list (its buffer filled before the host
    // queued it) counts as queued by this call: null is answered and `queuedByBoard` set. Waits
    // only when there is neither.
    CImageWrapper* QueueFreeImage(bool& waited, bool& queuedByBoard);

    // Images queued for the board go back to the end of the free list, in order (while stopped:
    // a GrabNext that lands after the stop queues an image no stream will fill).
    void ReturnQueuedImages();

    // After a frame entered the ready list or an image the free list: sets the event only when a
    // thread waits for it (SignalReadEvent and SignalGrabEvent always set it).
    void WakeReaders();
    void WakeGrabThreads();

    // Counts a frame the board filled that never reaches the host.
    void CountLost(FrameLoss cause, std::int64_t frames) noexcept { frameCounts_.CountLost(cause, frames); }

    // Keeps the host's registry path unchanged; the module key is that path followed directly by
    // the board name (no separator).
    void SetNames(const wchar_t* registryPath, const wchar_t* boardName);

    // Holds the free-list lock while new images are appended, so a concurrent GetFreeBuffer sees
    // either none or all of them.
    class FreeListAppender {
    public:
        // The list takes ownership of the image. False for a null image or one already in a list.
        bool Append(CImageWrapper* image) noexcept { return list_->PushBack(image); }

    private:
        friend class CTripleList;
        FreeListAppender(orvane::CriticalSection& lock, orvane::IntrusiveImageList& list) : lock_(lock), list_(&list)
        {
        }
        std::unique_lock<orvane::CriticalSection> lock_;
        orvane::IntrusiveImageList* list_;
    };
    FreeListAppender BeginFreeListAppend() { return FreeListAppender(freeLock_, freeList_); }
    // The same in one call; returns how many were taken.
    int AppendFreeImages(CImageWrapper* const* images, int count);

    // The image at the read position, read under the ready-list lock; null when there is none.
    COrvaneImage* CurrentImage();
    BufferDescriptor* CurrentDescriptor();

private:
    template <typename Visit>
    static void VisitList(ImageListId id, const orvane::IntrusiveImageList& list, Visit& visit)
    {
        for (CImageWrapper* image = list.Front(); image != nullptr; image = orvane::IntrusiveImageList::Next(image)) {
            visit(id, image);
        }
    }

    void CreateEvents();
    void StampCapturedImage(CImageWrapper& image);
    // Ready-, free- (when `from` is the free list) and grab-list locks held: gives the image the
    // descriptor, stamps it and moves it from `from` to the end of the ready list.
    void MoveFilledImage(CImageWrapper& image, orvane::IntrusiveImageList& from, BufferDescriptor* descriptor);
    // Ready-list lock held: ReadyCount and MaxReadyCount after a move into the ready list.
    void NoteReadyCount() noexcept;
    // Ready-list lock held: ready images the host has not been handed (all but the current image
    // once GetCurrent gave it out).
    std::int32_t UnreadReadyImages() const noexcept;
    static BufferDescriptor* TakeDescriptor(CImageWrapper& image) noexcept;
    LONG WriteModuleValue(const char* valueName, DWORD type, const void* data, DWORD size);
    static void DeleteImage(CImageWrapper* image);
    static void DeleteAll(orvane::IntrusiveImageList& list);

    std::optional<std::wstring> registryPath_;
    orvane::IntrusiveImageList readyList_;
    orvane::IntrusiveImageList freeList_;
    orvane::IntrusiveImageList grabList_;
    CImageWrapper* readPosition_ = nullptr;  // an element of the ready list, or null
    // True once GetCurrent handed the image at the read position to the host; false again when the
    // read position moves on by itself (after a release or a delete) or is cleared. Ready-list lock.
    bool readPositionHandedOut_ = false;
    orvane::CriticalSection readyLock_;
    orvane::CriticalSection freeLock_;
    orvane::CriticalSection grabLock_;
    orvane::CriticalSection readEventLock_;
    orvane::CriticalSection grabEventLock_;
    std::string readEventName_;
    std::string grabEventName_;
    orvane::UniqueKernelHandle readEvent_;
    orvane::UniqueKernelHandle grabEvent_;
    // Threads between their look at the list and the end of their wait; counted up under the
    // event lock, down without it (a set too many only wakes a thread that looks again).
    std::atomic<int> readWaiters_{0};
    std::atomic<int> grabWaiters_{0};
    // Images the capture thread delivered from the free list that no GrabNext has counted yet.
    std::atomic<std::int32_t> queuedByBoard_{0};
    // Written under the ready-list lock (the total also under the other two).
    std::atomic<std::int32_t> totalBufferCount_{0};
    std::atomic<std::int32_t> readyCount_{0};
    std::atomic<std::int32_t> maxReadyCount_{0};
    CFrameCounters frameCounts_;
    // The plug-in, the microsecond offset, the time-code offset and its frame rate.
    CTimeSourceManager timeSources_;
    SharedTimebase timebase_;
    std::wstring boardName_;
    std::wstring moduleKey_;
};

template <typename Take>
void CTripleList::ReleaseAllImages(Take&& take)
{
    std::int32_t unread = 0;
    {
        std::lock_guard<orvane::CriticalSection> readyGuard(readyLock_);
        std::lock_guard<orvane::CriticalSection> freeGuard(freeLock_);
        unread = UnreadReadyImages();
        for (CImageWrapper* image = readyList_.Front(); image != nullptr; image = orvane::IntrusiveImageList::Next(image)) {
            take(TakeDescriptor(*image));
        }
        freeList_.AppendAll(readyList_);
        readPosition_ = nullptr;
        readPositionHandedOut_ = false;
    }
    frameCounts_.CountLost(FrameLoss::Unread, unread);
    SignalGrabEvent();
}
