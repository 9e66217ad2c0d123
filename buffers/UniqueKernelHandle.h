#pragma once
// Sole ownership of a kernel object handle: closed when the owner goes, movable, never copied.
// A null handle means "none".
#include <windows.h>

#include <utility>

namespace orvane {

class UniqueKernelHandle {
public:
    UniqueKernelHandle() noexcept = default;
    explicit UniqueKernelHandle(HANDLE handle) noexcept : handle_(handle) {}
    ~UniqueKernelHandle() { Reset(); }
    UniqueKernelHandle(const UniqueKernelHandle&) = delete;
    UniqueKernelHandle& operator=(const UniqueKernelHandle&) = delete;
    UniqueKernelHandle(UniqueKernelHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    UniqueKernelHandle& operator=(UniqueKernelHandle&& other) noexcept
    {
        if (this != &other) {
            Reset(std::exchange(other.handle_, nullptr));
        }
        return *this;
    }

    HANDLE Get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }

    void Reset(HANDLE handle = nullptr) noexcept
    {
        if (handle_ != nullptr) {
            CloseHandle(handle_);
        }
        handle_ = handle;
    }

private:
    HANDLE handle_ = nullptr;
};

}  // namespace orvane
