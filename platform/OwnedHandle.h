#pragma once
// Sole ownership of a platform handle: closed by `Closer` when the owner goes, movable, never
// copied. A null handle means "none".
#include <windows.h>

#include <utility>

namespace orvane {

template <typename Handle, typename Closer>
class OwnedHandle {
public:
    OwnedHandle() noexcept = default;
    explicit OwnedHandle(Handle handle) noexcept : handle_(handle) {}
    ~OwnedHandle() { Reset(); }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    OwnedHandle(OwnedHandle&& other) noexcept : handle_(std::exchange(other.handle_, Handle{})) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept
    {
        if (this != &other) {
            Reset(std::exchange(other.handle_, Handle{}));
        }
        return *this;
    }

    Handle Get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Handle{}; }

    void Reset(Handle handle = Handle{}) noexcept
    {
        if (handle_ != Handle{}) {
            Closer{}(handle_);
        }
        handle_ = handle;
    }

private:
    Handle handle_{};
};

struct KernelHandleCloser {
    void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};

using UniqueKernelHandle = OwnedHandle<HANDLE, KernelHandleCloser>;

}  // namespace orvane
