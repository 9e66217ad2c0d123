#pragma once
// A list as the card uses it, but over pixel blocks the test owns, with images that count their
// disposal and destruction.
#include <atomic>
#include <cstdint>
#include <vector>

#include "buffers/OrvaneImage.h"
#include "buffers/TripleList.h"

namespace orvane::test {

struct ImageCounters {
    std::atomic<int> disposed{0};
    std::atomic<int> destroyed{0};
};

class CountingImage : public COrvaneImage {
public:
    CountingImage(void* pixels, ImageCounters& counters) : COrvaneImage(pixels), counters_(counters) {}
    ~CountingImage() override { ++counters_.destroyed; }
    void DisposeImage() override { ++counters_.disposed; }

private:
    ImageCounters& counters_;
};

// What the images point to must outlive them, and the list base deletes them last of all.
struct TestListStorage {
    explicit TestListStorage(int blocks) : blocks_(static_cast<size_t>(blocks)), descriptors_(blocks_.size()) {}
    ImageCounters ownCounters_;
    std::vector<std::uint64_t> blocks_;
    std::vector<char> descriptors_;
};

class TestList : private TestListStorage, public CTripleList {
public:
    // External counters outlive the list, for checks after its destruction.
    explicit TestList(int blocks = 16, ImageCounters* external = nullptr)
        : TestListStorage(blocks), counters(external != nullptr ? *external : ownCounters_)
    {
    }

    // One image on each of the first `count` blocks, appended to the free list in block order.
    void AllocateBuffers(int count) override
    {
        auto appender = BeginFreeListAppend();
        for (int i = 0; i < count; ++i) {
            appender.Append(new CountingImage(Block(i), counters));
        }
    }
    void ReallocateBuffers() override
    {
        const int count = GetBufferCount();
        FreeBuffers();
        AllocateBuffers(count);
    }
    bool GrabNext() override
    {
        bool waited = false;
        return GetFreeBuffer(waited) != nullptr && waited;
    }

    // A fresh image on the block of a deleted one, as a host would allocate it again.
    void AddImage(void* pixels)
    {
        CImageWrapper* image = new CountingImage(pixels, counters);
        AppendFreeImages(&image, 1);
        SignalGrabEvent();
    }

    void* Block(int index) { return &blocks_.at(static_cast<size_t>(index)); }
    int BlockIndex(CImageWrapper* image) const
    {
        const auto* block = static_cast<const std::uint64_t*>(image->GetImage()->pixels);
        return block >= blocks_.data() && block < blocks_.data() + blocks_.size()
                   ? static_cast<int>(block - blocks_.data())
                   : -1;
    }
    // A distinct stand-in for the board's descriptor of each block; the lists never look inside.
    BufferDescriptor* FakeDescriptor(int block)
    {
        return reinterpret_cast<BufferDescriptor*>(&descriptors_.at(static_cast<size_t>(block)));
    }

    using CTripleList::AppendFreeImages;
    using CTripleList::CurrentDescriptor;
    using CTripleList::CurrentImage;
    using CTripleList::QueueFreeImage;
    using CTripleList::ReleaseAllImages;
    using CTripleList::ReleaseCurrentImage;
    using CTripleList::SetNames;

    ImageCounters& counters;
};

}  // namespace orvane::test
