#pragma once
// An image as the frame lists see it: something with a header that can be handed to the host and
// disposed of. The list links live inside the image, so moving an image between lists never
// allocates; an image is therefore in at most one list at a time.
#include "interfaces/ImageHeader.h"

namespace orvane {
class IntrusiveImageList;
}

class CImageWrapper {
public:
    // Called by the list just before it deletes the image.
    virtual void DisposeImage() = 0;
    // The header the host receives; it stays at the same address for the life of the image.
    virtual ImageHeader* GetImage() = 0;
    // Declared after the two operations so that they keep the first two slots. The lists delete
    // images through this base, which is only sound with a virtual destructor.
    virtual ~CImageWrapper() = default;

    CImageWrapper(const CImageWrapper&) = delete;
    CImageWrapper& operator=(const CImageWrapper&) = delete;

    // True while the image belongs to a list.
    bool Listed() const noexcept { return list_ != nullptr; }

protected:
    CImageWrapper() = default;

private:
    friend class orvane::IntrusiveImageList;
    CImageWrapper* previous_ = nullptr;
    CImageWrapper* next_ = nullptr;
    const orvane::IntrusiveImageList* list_ = nullptr;
};
