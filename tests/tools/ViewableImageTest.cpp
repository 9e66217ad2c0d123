// Frames of every pixel format turned into pictures: a few pixels of known colours in, the grey
// or B, G, R values a viewer should show out.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "tools/capture/ViewableImage.h"

namespace {

using orvane::capture::ConvertFrame;
using orvane::capture::ViewableImage;

struct Case {
    const char* what;
    int type;
    int width;
    int height;
    std::vector<BYTE> frame;
    std::vector<BYTE> expected;  // grey, or B, G, R per pixel
    int tolerance;               // the YCbCr equations round
};

TEST(ViewableImage, EveryFormatShowsItsColours)
{
    const Case cases[] = {
        {"Mono 8", 0, 3, 1, {0, 128, 255}, {0, 128, 255}, 0},
        {"Mono 10: 10 bits in 16, out of range shown white", 1, 4, 1, {0, 0, 0x00, 0x02, 0xFF, 0x03, 0xFF, 0xFF}, {0, 128, 255, 255}, 0},
        {"Mono 16", 2, 3, 1, {0x00, 0x00, 0xFF, 0x80, 0xFF, 0xFF}, {0, 128, 255}, 0},
        {"Y only 8: video range stretched", 3, 4, 1, {16, 126, 235, 5}, {0, 128, 255, 0}, 0},
        {"Y only 16", 4, 2, 1, {0xFF, 16, 0x00, 235}, {0, 255}, 0},
        {"BGR 32, two rows", 6, 2, 2, {1, 2, 3, 0xFF, 4, 5, 6, 0, 7, 8, 9, 0, 10, 11, 12, 0}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 0},
        {"BGR 24, two rows", 9, 2, 2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 0},
        {"BGR 555: red, green, blue, grey with the unused top bit set", 7, 4, 1, {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0x10, 0xC2},
         {0, 0, 255, 0, 255, 0, 255, 0, 0, 132, 132, 132}, 0},
        {"type 8, 5-6-5: red, green, blue", 8, 3, 1, {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00}, {0, 0, 255, 0, 255, 0, 255, 0, 0}, 0},
        // Y0 Cb Y1 Cr: a red pair, a green pair and a lone grey pixel that has no Cr of its own.
        {"Full YCbCr 16", 5, 5, 1, {82, 90, 82, 240, 145, 54, 145, 34, 126, 128},
         {0, 0, 255, 0, 0, 255, 0, 255, 0, 0, 255, 0, 128, 128, 128}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ViewableImage image;
        ASSERT_TRUE(ConvertFrame(c.frame.data(), {c.type, c.width, c.height}, image));
        EXPECT_EQ(image.width, c.width);
        EXPECT_EQ(image.height, c.height);
        ASSERT_EQ(image.pixels.size(), c.expected.size());
        for (size_t i = 0; i < c.expected.size(); ++i) {
            EXPECT_LE(std::abs(image.pixels[i] - c.expected[i]), c.tolerance) << "byte " << i;
        }
    }

    ViewableImage untouched;
    const BYTE pixel[4] = {};
    EXPECT_FALSE(ConvertFrame(pixel, {10, 1, 1}, untouched)) << "a type without a known layout";
    EXPECT_TRUE(untouched.pixels.empty());
}

}  // namespace
