#include "videosource/MediaTypeCopy.h"

#include <cstring>

namespace orvane::videosource {

void ClearMediaType(AM_MEDIA_TYPE& type) noexcept
{
    if (type.pbFormat != nullptr) {
        CoTaskMemFree(type.pbFormat);
    }
    if (type.pUnk != nullptr) {
        type.pUnk->Release();
    }
    type = AM_MEDIA_TYPE{};
}

HRESULT CopyMediaType(const AM_MEDIA_TYPE& source, AM_MEDIA_TYPE& target) noexcept
{
    if (&source == &target) {
        return S_OK;
    }
    ClearMediaType(target);
    target = source;
    target.pbFormat = nullptr;
    target.cbFormat = 0;
    if (source.cbFormat != 0 && source.pbFormat != nullptr) {
        target.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source.cbFormat));
        if (target.pbFormat == nullptr) {
            target = AM_MEDIA_TYPE{};
            return E_OUTOFMEMORY;
        }
        std::memcpy(target.pbFormat, source.pbFormat, source.cbFormat);
        target.cbFormat = source.cbFormat;
    }
    if (target.pUnk != nullptr) {
        target.pUnk->AddRef();
    }
    return S_OK;
}

AM_MEDIA_TYPE* NewMediaType(const AM_MEDIA_TYPE& source) noexcept
{
    auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (type == nullptr) {
        return nullptr;
    }
    *type = AM_MEDIA_TYPE{};
    if (FAILED(CopyMediaType(source, *type))) {
        CoTaskMemFree(type);
        return nullptr;
    }
    return type;
}

void DeleteMediaType(AM_MEDIA_TYPE* type) noexcept
{
    if (type != nullptr) {
        ClearMediaType(*type);
        CoTaskMemFree(type);
    }
}

}  // namespace orvane::videosource
