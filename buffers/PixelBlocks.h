#pragma once
// The card's pixel blocks: the memory the board writes frames into, one block per image.
//
// A 32-bit host has 2 GiB of address space, and the system hands out address space in 64 KiB
// steps: one allocation per block would make a 1 KiB block cost 64 KiB, so a few tens of thousands
// of small blocks would exhaust the process long before its memory. Blocks are therefore cut from
// slabs of about a megabyte each, every block starting on a 64-byte line (a page when it is a page
// or more), so that a block costs what it holds plus that rounding. A large frame gets a slab of its
// own. Slabs are committed up front: the board writes into them while grabbing.
#include <windows.h>

#include <cstddef>
#include <vector>

class CPixelBlocks {
public:
    CPixelBlocks() = default;
    CPixelBlocks(const CPixelBlocks&) = delete;
    CPixelBlocks& operator=(const CPixelBlocks&) = delete;
    ~CPixelBlocks() { FreeAll(); }

    // Adds count blocks of `bytes` each after those already held. False when memory runs out; the
    // blocks made until then stay until FreeAll. A size of 0 adds null entries.
    bool Add(int count, std::size_t bytes);
    void FreeAll() noexcept;

    int Count() const noexcept { return static_cast<int>(addresses_.size()); }
    // Bytes of the smallest block held (0 with none): no stream may write frames larger than that.
    std::size_t SmallestBlockBytes() const noexcept { return addresses_.empty() ? 0 : smallest_; }
    // The block addresses, oldest first; stable until the next Add or FreeAll.
    void* const* Addresses() const noexcept { return addresses_.empty() ? nullptr : addresses_.data(); }
    void** Addresses() noexcept { return addresses_.empty() ? nullptr : addresses_.data(); }
    void* operator[](int index) const noexcept { return addresses_[static_cast<std::size_t>(index)]; }

    // Where a block of `bytes` starts after the previous one, and how large a slab is made for it.
    static std::size_t StrideFor(std::size_t bytes) noexcept;
    static std::size_t SlabBytesFor(std::size_t stride) noexcept;

private:
    std::vector<void*> addresses_;
    std::vector<void*> slabs_;
    std::size_t smallest_ = 0;
};
