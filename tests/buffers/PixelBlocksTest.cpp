// The pixel blocks: what the board writes into must be distinct, aligned, and cost little more
// address space than it holds, so that a 32-bit host can keep tens of thousands of small frames.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <vector>

#include "buffers/PixelBlocks.h"

namespace {

TEST(PixelBlocks, BlocksAreDistinctAlignedWritableAndShareTheirAddressSpace)
{
    struct Case {
        int count;
        size_t bytes;
        size_t alignment;
        size_t maxRegions;  // allocations of address space, each at least 64 KiB
    } cases[] = {
        {32772, 16 * 16 * 4, 64, 33},          // tiny frames: about 1 MiB of them per region
        {3, 4, 64, 1},                         // a handful of pixels: one region for all
        {5, 640 * 480 * 4, 4096, 5},           // larger than a region's target: one each
        {40, 100 * 100 * 4 + 1, 4096, 40},     // page-rounded
    };
    for (const auto& c : cases) {
        CPixelBlocks blocks;
        ASSERT_TRUE(blocks.Add(c.count, c.bytes)) << c.bytes;
        ASSERT_EQ(blocks.Count(), c.count);
        std::vector<uintptr_t> starts;
        std::set<void*> regions;
        for (int i = 0; i < c.count; ++i) {
            auto* block = static_cast<unsigned char*>(blocks[i]);
            ASSERT_NE(block, nullptr);
            starts.push_back(reinterpret_cast<uintptr_t>(block));
            EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % c.alignment, 0u);
            block[0] = 1;  // committed: writable at both ends
            block[c.bytes - 1] = 2;
            MEMORY_BASIC_INFORMATION info{};
            ASSERT_NE(VirtualQuery(block, &info, sizeof info), 0u);
            regions.insert(info.AllocationBase);
        }
        EXPECT_LE(regions.size(), c.maxRegions) << c.bytes;
        std::sort(starts.begin(), starts.end());
        for (size_t i = 1; i < starts.size(); ++i) {
            ASSERT_GE(starts[i] - starts[i - 1], c.bytes) << "blocks overlap";
        }
    }
}

TEST(PixelBlocks, AddingKeepsEarlierBlocksAndFreeingForgetsAll)
{
    CPixelBlocks blocks;
    ASSERT_TRUE(blocks.Add(2, 64));
    void* first = blocks[0];
    ASSERT_TRUE(blocks.Add(3, 1024));
    EXPECT_EQ(blocks.Count(), 5);
    EXPECT_EQ(blocks[0], first);
    EXPECT_TRUE(blocks.Add(0, 64));
    EXPECT_TRUE(blocks.Add(2, 0));
    EXPECT_EQ(blocks[6], nullptr);
    blocks.FreeAll();
    EXPECT_EQ(blocks.Count(), 0);
    EXPECT_EQ(blocks.Addresses(), nullptr);
    EXPECT_FALSE(blocks.Add(1, SIZE_MAX - 10)) << "a size that wraps around makes no block";
}

}  // namespace
