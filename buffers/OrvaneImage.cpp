#include "buffers/OrvaneImage.h"

COrvaneImage::COrvaneImage(void* pixels) noexcept : header_{pixels, 0, 0, 0, 0, 0}
{
}

void COrvaneImage::DisposeImage()
{
}

ImageHeader* COrvaneImage::GetImage()
{
    return &header_;
}
