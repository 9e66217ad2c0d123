#pragma once
// Ownership of DirectShow media types: the format block and the optional IUnknown an
// AM_MEDIA_TYPE points to belong to it, allocated with CoTaskMemAlloc as every filter expects.
#include <dshow.h>

namespace orvane::videosource {

// Frees what the type points to and leaves it empty; the structure itself stays.
void ClearMediaType(AM_MEDIA_TYPE& type) noexcept;

// A deep copy into `target` (cleared first); E_OUTOFMEMORY when the format block cannot be
// allocated, with `target` left empty.
HRESULT CopyMediaType(const AM_MEDIA_TYPE& source, AM_MEDIA_TYPE& target) noexcept;

// A deep copy in a block of its own, as IEnumMediaTypes::Next and IAMStreamConfig hand them out;
// null when out of memory. The receiver frees it with DeleteMediaType.
AM_MEDIA_TYPE* NewMediaType(const AM_MEDIA_TYPE& source) noexcept;
void DeleteMediaType(AM_MEDIA_TYPE* type) noexcept;

// An AM_MEDIA_TYPE that frees what it owns when it goes.
class MediaType {
public:
    MediaType() noexcept : type_{} {}
    ~MediaType() { ClearMediaType(type_); }
    MediaType(const MediaType&) = delete;
    MediaType& operator=(const MediaType&) = delete;

    AM_MEDIA_TYPE& Get() noexcept { return type_; }
    const AM_MEDIA_TYPE& Get() const noexcept { return type_; }
    bool Empty() const noexcept { return type_.pbFormat == nullptr; }
    HRESULT Assign(const AM_MEDIA_TYPE& source) noexcept { return CopyMediaType(source, type_); }
    void Clear() noexcept { ClearMediaType(type_); }

private:
    AM_MEDIA_TYPE type_;
};

}  // namespace orvane::videosource
