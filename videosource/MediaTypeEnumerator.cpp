#include "videosource/MediaTypeEnumerator.h"

#include <new>

namespace orvane::videosource {

HRESULT MediaTypeEnumerator::Create(std::shared_ptr<const MediaTypeList> types, ULONG position, IEnumMediaTypes** result)
{
    if (result == nullptr) {
        return E_POINTER;
    }
    *result = new (std::nothrow) MediaTypeEnumerator(std::move(types), position);
    return *result != nullptr ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP MediaTypeEnumerator::QueryInterface(REFIID iid, void** object)
{
    if (object == nullptr) {
        return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IEnumMediaTypes)) {
        *object = static_cast<IEnumMediaTypes*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) MediaTypeEnumerator::AddRef()
{
    return ++references_;
}

STDMETHODIMP_(ULONG) MediaTypeEnumerator::Release()
{
    const ULONG left = --references_;
    if (left == 0) {
        delete this;
    }
    return left;
}

STDMETHODIMP MediaTypeEnumerator::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched)
{
    if (types == nullptr || (count > 1 && fetched == nullptr)) {
        return E_POINTER;
    }
    ULONG given = 0;
    while (given < count && position_ < types_->size()) {
        types[given] = NewMediaType((*types_)[position_]->Get());
        if (types[given] == nullptr) {
            break;
        }
        ++given;
        ++position_;
    }
    if (fetched != nullptr) {
        *fetched = given;
    }
    return given == count ? S_OK : S_FALSE;
}

STDMETHODIMP MediaTypeEnumerator::Skip(ULONG count)
{
    position_ += count;
    return position_ <= types_->size() ? S_OK : S_FALSE;
}

STDMETHODIMP MediaTypeEnumerator::Reset()
{
    position_ = 0;
    return S_OK;
}

STDMETHODIMP MediaTypeEnumerator::Clone(IEnumMediaTypes** result)
{
    return Create(types_, position_, result);
}

}  // namespace orvane::videosource
