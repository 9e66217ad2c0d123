#pragma once
// A doubly-linked list threaded through the images themselves: adding, removing and moving an
// image only rewrites links, so the frame path never touches the heap.
//
// Every change must happen under the lock that guards the list. The element count is atomic so
// that a thread may ask whether the list is empty without taking that lock; the answer is then
// only a hint, and whoever acts on it takes the lock and looks again.
#include <atomic>
#include <cstdint>

#include "buffers/ImageWrapper.h"

namespace orvane {

class IntrusiveImageList {
public:
    IntrusiveImageList() = default;
    ~IntrusiveImageList() { UnlinkAll(); }
    IntrusiveImageList(const IntrusiveImageList&) = delete;
    IntrusiveImageList& operator=(const IntrusiveImageList&) = delete;

    bool Empty() const noexcept { return Size() == 0; }
    std::int32_t Size() const noexcept { return count_.load(std::memory_order_acquire); }

    CImageWrapper* Front() const noexcept { return head_; }
    static CImageWrapper* Next(const CImageWrapper* image) noexcept { return image->next_; }
    bool Contains(const CImageWrapper* image) const noexcept { return image != nullptr && image->list_ == this; }

    // Refuses a null image and one that already belongs to a list: linking it twice would
    // corrupt both lists.
    bool PushBack(CImageWrapper* image) noexcept
    {
        if (image == nullptr || image->list_ != nullptr) {
            return false;
        }
        image->previous_ = tail_;
        image->next_ = nullptr;
        if (tail_ != nullptr) {
            tail_->next_ = image;
        } else {
            head_ = image;
        }
        tail_ = image;
        image->list_ = this;
        count_.fetch_add(1, std::memory_order_release);
        return true;
    }

    bool PushFront(CImageWrapper* image) noexcept
    {
        if (image == nullptr || image->list_ != nullptr) {
            return false;
        }
        image->previous_ = nullptr;
        image->next_ = head_;
        if (head_ != nullptr) {
            head_->previous_ = image;
        } else {
            tail_ = image;
        }
        head_ = image;
        image->list_ = this;
        count_.fetch_add(1, std::memory_order_release);
        return true;
    }

    // False (and nothing changed) when the image is not in this list.
    bool Remove(CImageWrapper* image) noexcept
    {
        if (!Contains(image)) {
            return false;
        }
        if (image->previous_ != nullptr) {
            image->previous_->next_ = image->next_;
        } else {
            head_ = image->next_;
        }
        if (image->next_ != nullptr) {
            image->next_->previous_ = image->previous_;
        } else {
            tail_ = image->previous_;
        }
        image->previous_ = nullptr;
        image->next_ = nullptr;
        image->list_ = nullptr;
        count_.fetch_sub(1, std::memory_order_release);
        return true;
    }

    CImageWrapper* PopFront() noexcept
    {
        CImageWrapper* image = head_;
        Remove(image);
        return image;
    }

    bool MoveToFront(CImageWrapper* image) noexcept
    {
        return Remove(image) && PushFront(image);
    }

    // Moves every image of `other`, in order, to the end of this list. Both lists' locks must be held.
    void AppendAll(IntrusiveImageList& other) noexcept
    {
        while (CImageWrapper* image = other.PopFront()) {
            PushBack(image);
        }
    }

private:
    void UnlinkAll() noexcept
    {
        while (PopFront() != nullptr) {
        }
    }

    CImageWrapper* head_ = nullptr;
    CImageWrapper* tail_ = nullptr;
    std::atomic<std::int32_t> count_{0};
};

}  // namespace orvane
