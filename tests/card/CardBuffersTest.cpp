// The card's pixel blocks and images: how many, how large, and what the image queries answer.
#include "tests/card/CardFixture.h"

#include <set>

namespace orvane::test {
namespace {

class CardBuffers : public CardTest {
protected:
    void SetUp() override
    {
        CardTest::SetUp();
        RememberSample(kDefaultProfile);
        card_ = OpenCard();
        ASSERT_NE(card_, nullptr);
    }
    void TearDown() override
    {
        card_.reset();
        CardTest::TearDown();
    }
    std::unique_ptr<COrvaneCard> card_;
};

TEST_F(CardBuffers, AllocatesOneFourBytesAPixelBlockAndOneFreeImageEach)
{
    card_->AllocateBuffers(3);
    EXPECT_EQ(card_->BufferCount(), 3);
    EXPECT_EQ(card_->FreeListSize(), 3);
    EXPECT_EQ(card_->GetBufferCount(), 3);
    std::vector<const void*> pixels;
    card_->ForEachImage([&](ImageListId, CImageWrapper* image) { pixels.push_back(image->GetImage()->pixels); });
    ASSERT_EQ(pixels.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(pixels[i], card_->PixelBuffers()[i]);
        MEMORY_BASIC_INFORMATION info{};
        ASSERT_NE(VirtualQuery(pixels[i], &info, sizeof info), 0u);
        EXPECT_GE(info.RegionSize, 1920u * 1080u * 4u);
    }
}

TEST_F(CardBuffers, CountsBelowOneChangeNothing)
{
    card_->AllocateBuffers(2);
    card_->AllocateBuffers(0);
    card_->AllocateBuffers(-5);
    EXPECT_EQ(card_->BufferCount(), 2);
    EXPECT_EQ(card_->GetBufferCount(), 2);
}

TEST_F(CardBuffers, ReallocationKeepsTheCountAndFollowsTheImageSize)
{
    card_->ReallocateBuffers();
    EXPECT_EQ(card_->GetBufferCount(), 0);
    card_->AllocateBuffers(4);
    const void* before = card_->PixelBuffers()[0];
    card_->ReallocateBuffers();
    EXPECT_EQ(card_->GetBufferCount(), 4);
    EXPECT_EQ(card_->BufferCount(), 4);
    EXPECT_NE(card_->PixelBuffers(), nullptr);
    (void)before;
}

TEST_F(CardBuffers, ImageQueriesFollowTheFormatTypeWhileBlocksStayFourBytesAPixel)
{
    EXPECT_EQ(card_->ImageFormatType(), 6);
    EXPECT_EQ(card_->GetImageSize(), 1920 * 1080 * 4);
    EXPECT_EQ(card_->GetImageFormatCode(), 500);
    card_->SetImageFormatType(0);  // "Mono 8"
    EXPECT_EQ(card_->GetImageSize(), 1920 * 1080);
    EXPECT_EQ(card_->GetBitsPerPixel(), 8);
    card_->SetImageFormatType(8);  // not offered, still answered
    EXPECT_EQ(card_->GetBitsPerPixel(), 16);
    EXPECT_EQ(card_->GetSignificantBits(), 16);
    EXPECT_EQ(card_->GetImageFormatCode(), 906);
    card_->SetImageFormatType(42);
    EXPECT_EQ(card_->GetBitsPerPixel(), 32);
    EXPECT_EQ(card_->GetSignificantBits(), 8);
    EXPECT_EQ(card_->GetImageFormatCode(), 500);
    long w = 0, h = 0, third = -1, fourth = -1;
    card_->GetImageFormat(&w, &h, &third, &fourth);
    EXPECT_EQ(w, 1920);
    EXPECT_EQ(h, 1080);
    EXPECT_EQ(third, 0);
    EXPECT_EQ(fourth, 0);
}

// A host that allocates again without freeing keeps its earlier images: their blocks must stay
// alive and stay known to the board, beside the new ones.
TEST_F(CardBuffers, AllocatingAgainWithoutFreeingKeepsTheEarlierImagesBlocks)
{
    card_->AllocateBuffers(2);
    card_->AllocateBuffers(3);
    EXPECT_EQ(card_->GetBufferCount(), 5);
    ASSERT_EQ(card_->BufferCount(), 5);
    std::set<const void*> blocks(card_->PixelBuffers(), card_->PixelBuffers() + 5);
    card_->ForEachImage([&](ImageListId, CImageWrapper* image) {
        auto* pixels = static_cast<unsigned char*>(image->GetImage()->pixels);
        EXPECT_EQ(blocks.erase(pixels), 1u) << "every image on a block of its own that the card holds";
        pixels[1920 * 1080 * 4 - 1] = 1;
    });
    EXPECT_TRUE(blocks.empty());

    card_->FreeBuffers();
    card_->AllocateBuffers(1);
    EXPECT_EQ(card_->BufferCount(), 1) << "with no image left, the old blocks go";
}

}  // namespace
}  // namespace orvane::test
