#pragma once
// The card's images live in three lists: free (empty, waiting to be queued), grab (queued for the
// board, in the order it is expected to fill them) and ready (filled and time-stamped, oldest
// first, waiting for the host). The capture thread and the host's grab, read and control threads
// meet here.
//
// Locking: each list has its own lock, and the read position is guarded by the ready-list lock.
// When several list locks are held they are taken in the order ready, free, grab. Every move of an
// image between two lists happens with both locks held, so an image is always in exactly one list
// (or deleted). The read and grab events each have their own lock, which is never held together
// with a list lock: it makes "reset the event, look at the list" one step with respect to "set the
// event", and since the list is always changed before the event is set, a waiter cannot miss a
// frame or a free image. Both events are manual-reset and only a waiter resets them, so one set
// wakes every thread waiting at that moment.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/CriticalSection.h"
#include "interfaces/ImageHeader.h"
#include "buffers/ImageWrapper.h"
#include "buffers/IntrusiveImageList.h"
#include "platform/OwnedHandle.h"
#include "timing/SharedTimebase.h"
#include "timing/TimeSourceManager.h"

struct BufferDescriptor;
class COrvaneImage;

enum class ImageListId { Ready, Free, Grab };

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

    // True when it had to wait for the read event.
    bool WaitReady();
    void SignalGrabEvent();
    void SignalReadEvent();
    void ResetReadPosition();

    // Usage counters for the host, read without a lock.
    std::int32_t TotalBufferCount() const noexcept { return totalBufferCount_.load(std::memory_order_relaxed); }
    std::int32_t ReadyCount() const noexcept { return readyCount_.load(std::memory_order_relaxed); }
    std::int32_t MaxReadyCount() const noexcept { return maxReadyCount_.load(std::memory_order_relaxed); }

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
    // Called, with the ready-list lock held, for each image that the host hands back (ReleaseCurrent,
    // ReleaseAll) or deletes (DeleteCurrent), just before it leaves the ready list: the card gives
    // the frame's buffer back to the board here, exactly once. Must not call back into the lists.
    virtual void ImageLeavesReadyList(CImageWrapper& /*image*/) {}

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

    // For the capture thread, under the grab-list lock: finds the queued image whose pixels start
    // at `pixelAddress` (normally the first one), moves it to the front of the grab list and gives
    // it the descriptor. False, and the list unchanged, when no queued image matches.
    bool MatchFilledBuffer(const void* pixelAddress, BufferDescriptor* descriptor);

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
    LONG WriteModuleValue(const char* valueName, DWORD type, const void* data, DWORD size);
    static void DeleteImage(CImageWrapper* image);
    static void DeleteAll(orvane::IntrusiveImageList& list);

    std::optional<std::wstring> registryPath_;
    orvane::IntrusiveImageList readyList_;
    orvane::IntrusiveImageList freeList_;
    orvane::IntrusiveImageList grabList_;
    CImageWrapper* readPosition_ = nullptr;  // an element of the ready list, or null
    orvane::CriticalSection readyLock_;
    orvane::CriticalSection freeLock_;
    orvane::CriticalSection grabLock_;
    orvane::CriticalSection readEventLock_;
    orvane::CriticalSection grabEventLock_;
    std::string readEventName_;
    std::string grabEventName_;
    orvane::UniqueKernelHandle readEvent_;
    orvane::UniqueKernelHandle grabEvent_;
    // Written under the ready-list lock (the total also under the other two).
    std::atomic<std::int32_t> totalBufferCount_{0};
    std::atomic<std::int32_t> readyCount_{0};
    std::atomic<std::int32_t> maxReadyCount_{0};
    // The plug-in, the microsecond offset, the time-code offset and its frame rate.
    CTimeSourceManager timeSources_;
    SharedTimebase timebase_;
    std::wstring boardName_;
    std::wstring moduleKey_;
};
