#pragma once
// One image per pixel block of the card. The pixel block stays with the card; the image only
// points into it and remembers the board's descriptor of the frame it holds.
#include "buffers/ImageWrapper.h"

// Owned by the board library; the image only keeps its address to hand it back.
struct BufferDescriptor;

class COrvaneImage : public CImageWrapper {
public:
    explicit COrvaneImage(void* pixels) noexcept;

    // The pixel block belongs to the card, so there is nothing to give back here.
    void DisposeImage() override;
    ImageHeader* GetImage() override;

    BufferDescriptor* Descriptor() const noexcept { return descriptor_; }
    void SetDescriptor(BufferDescriptor* descriptor) noexcept { descriptor_ = descriptor; }

private:
    ImageHeader header_;
    BufferDescriptor* descriptor_ = nullptr;
};
