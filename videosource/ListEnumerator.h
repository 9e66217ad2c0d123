#pragma once
// IEnumPins and IEnumMediaTypes alike: a list taken when the enumerator was made (shared by its
// clones), handed out one new reference or copy at a time.
#include <dshow.h>

#include <atomic>
#include <memory>
#include <new>
#include <vector>

#include "platform/ComPtr.h"
#include "videosource/MediaTypeCopy.h"
#include "videosource/ServerLock.h"

namespace orvane::videosource {

template <typename Interface, const IID& kIid, typename Stored, typename Handed, Handed* (*Hand)(const Stored&)>
class ListEnumerator final : public Interface {
public:
    using List = std::vector<Stored>;

    static HRESULT Create(std::shared_ptr<const List> items, ULONG position, Interface** result)
    {
        if (result == nullptr) {
            return E_POINTER;
        }
        *result = new (std::nothrow) ListEnumerator(std::move(items), position);
        return *result != nullptr ? S_OK : E_OUTOFMEMORY;
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override
    {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, kIid)) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    STDMETHODIMP Next(ULONG count, Handed** handed, ULONG* fetched) override
    {
        if (handed == nullptr || (count > 1 && fetched == nullptr)) {
            return E_POINTER;
        }
        ULONG given = 0;
        while (given < count && position_ < items_->size()) {
            handed[given] = Hand((*items_)[position_]);
            if (handed[given] == nullptr) {
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
    STDMETHODIMP Skip(ULONG count) override
    {
        position_ += count;
        return position_ <= items_->size() ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override
    {
        position_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(Interface** result) override { return Create(items_, position_, result); }

private:
    ListEnumerator(std::shared_ptr<const List> items, ULONG position) : items_(std::move(items)), position_(position) {}
    ~ListEnumerator() = default;

    std::atomic<ULONG> references_{1};
    ObjectCount alive_;
    std::shared_ptr<const List> items_;
    ULONG position_;
};

inline IPin* HandPin(const ComPtr<IPin>& pin)
{
    pin->AddRef();
    return pin.Get();
}

inline AM_MEDIA_TYPE* HandMediaType(const std::unique_ptr<MediaType>& type)
{
    return NewMediaType(type->Get());
}

using PinEnumerator = ListEnumerator<IEnumPins, IID_IEnumPins, ComPtr<IPin>, IPin, &HandPin>;
using MediaTypeList = std::vector<std::unique_ptr<MediaType>>;
using MediaTypeEnumerator = ListEnumerator<IEnumMediaTypes, IID_IEnumMediaTypes, std::unique_ptr<MediaType>, AM_MEDIA_TYPE, &HandMediaType>;

}  // namespace orvane::videosource
