#include "buffers/PixelBlocks.h"

#include <algorithm>
#include <new>

namespace {

constexpr std::size_t kLine = 64;
constexpr std::size_t kPage = 4096;
constexpr std::size_t kGranularity = 64 * 1024;  // the address-space step of VirtualAlloc
constexpr std::size_t kSlabTarget = 1024 * 1024;

constexpr std::size_t RoundUp(std::size_t value, std::size_t step)
{
    return (value + step - 1) / step * step;
}

}  // namespace

std::size_t CPixelBlocks::StrideFor(std::size_t bytes) noexcept
{
    return bytes < kPage ? RoundUp(bytes, kLine) : RoundUp(bytes, kPage);
}

std::size_t CPixelBlocks::SlabBytesFor(std::size_t stride) noexcept
{
    const std::size_t perSlab = std::max<std::size_t>(1, kSlabTarget / stride);
    return RoundUp(perSlab * stride, kGranularity);
}

bool CPixelBlocks::Add(int count, std::size_t bytes)
{
    if (count < 1) {
        return true;
    }
    addresses_.reserve(addresses_.size() + static_cast<std::size_t>(count));
    smallest_ = addresses_.empty() ? bytes : std::min(smallest_, bytes);
    if (bytes == 0) {
        addresses_.insert(addresses_.end(), static_cast<std::size_t>(count), nullptr);
        return true;
    }
    const std::size_t stride = StrideFor(bytes);
    if (stride < bytes || SlabBytesFor(stride) < stride) {
        return false;  // the size wrapped around: no such block can exist
    }
    std::size_t wanted = static_cast<std::size_t>(count);
    while (wanted > 0) {
        // A slab holds what is still wanted, up to about a megabyte; its rounding up to the
        // allocation step is used for further blocks, not wasted.
        const std::size_t fullSlab = SlabBytesFor(stride);
        const std::size_t slabBytes =
            wanted >= fullSlab / stride ? fullSlab : RoundUp(wanted * stride, kGranularity);
        slabs_.reserve(slabs_.size() + 1);
        void* slab = VirtualAlloc(nullptr, slabBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (slab == nullptr) {
            return false;
        }
        slabs_.push_back(slab);
        BYTE* next = static_cast<BYTE*>(slab);
        for (std::size_t left = slabBytes / stride; left > 0 && wanted > 0; --left, --wanted) {
            addresses_.push_back(next);
            next += stride;
        }
    }
    return true;
}

void CPixelBlocks::FreeAll() noexcept
{
    for (void* slab : slabs_) {
        VirtualFree(slab, 0, MEM_RELEASE);
    }
    slabs_.clear();
    addresses_.clear();
    smallest_ = 0;
}
