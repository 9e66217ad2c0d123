#include "videosource/PinEnumerator.h"

#include <new>

namespace orvane::videosource {

namespace {

constexpr ULONG kPins = 1;

}  // namespace

HRESULT PinEnumerator::Create(IPin* pin, ULONG position, IEnumPins** result)
{
    if (result == nullptr) {
        return E_POINTER;
    }
    *result = new (std::nothrow) PinEnumerator(pin, position);
    return *result != nullptr ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP PinEnumerator::QueryInterface(REFIID iid, void** object)
{
    if (object == nullptr) {
        return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IEnumPins)) {
        *object = static_cast<IEnumPins*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) PinEnumerator::AddRef()
{
    return ++references_;
}

STDMETHODIMP_(ULONG) PinEnumerator::Release()
{
    const ULONG left = --references_;
    if (left == 0) {
        delete this;
    }
    return left;
}

STDMETHODIMP PinEnumerator::Next(ULONG count, IPin** pins, ULONG* fetched)
{
    if (pins == nullptr || (count > 1 && fetched == nullptr)) {
        return E_POINTER;
    }
    ULONG given = 0;
    while (given < count && position_ < kPins) {
        pins[given] = pin_.Get();
        pins[given]->AddRef();
        ++given;
        ++position_;
    }
    if (fetched != nullptr) {
        *fetched = given;
    }
    return given == count ? S_OK : S_FALSE;
}

STDMETHODIMP PinEnumerator::Skip(ULONG count)
{
    position_ += count;
    return position_ <= kPins ? S_OK : S_FALSE;
}

STDMETHODIMP PinEnumerator::Reset()
{
    position_ = 0;
    return S_OK;
}

STDMETHODIMP PinEnumerator::Clone(IEnumPins** result)
{
    return Create(pin_.Get(), position_, result);
}

}  // namespace orvane::videosource
