#pragma once
// Owns one reference to a COM interface and releases it when it goes.
#include <unknwn.h>

#include <cstddef>
#include <utility>

namespace orvane {

template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Takes a new reference of its own to `pointer`.
    explicit ComPtr(T* pointer) noexcept : pointer_(pointer)
    {
        if (pointer_ != nullptr) {
            pointer_->AddRef();
        }
    }
    ComPtr(const ComPtr& other) noexcept : ComPtr(other.pointer_) {}
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept
    {
        std::swap(pointer_, other.pointer_);
        return *this;
    }
    ~ComPtr() { Reset(); }

    // Takes over a reference the caller already holds.
    static ComPtr Adopt(T* pointer) noexcept
    {
        ComPtr result;
        result.pointer_ = pointer;
        return result;
    }

    T* Get() const noexcept { return pointer_; }
    T* operator->() const noexcept { return pointer_; }
    explicit operator bool() const noexcept { return pointer_ != nullptr; }

    // For out arguments: drops the current reference and hands out the slot for a new one.
    T** Put() noexcept
    {
        Reset();
        return &pointer_;
    }
    void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }

    T* Detach() noexcept { return std::exchange(pointer_, nullptr); }

    void Reset() noexcept
    {
        if (T* old = std::exchange(pointer_, nullptr)) {
            old->Release();
        }
    }

    // Asks the object for another of its interfaces.
    template <typename U>
    HRESULT QueryTo(REFIID iid, ComPtr<U>& result) const noexcept
    {
        if (pointer_ == nullptr) {
            result.Reset();
            return E_POINTER;
        }
        return pointer_->QueryInterface(iid, result.PutVoid());
    }

private:
    T* pointer_ = nullptr;
};

}  // namespace orvane
