#pragma once
// IEnumMediaTypes over a list of media types taken when it was made (the pin's offer then).
#include <dshow.h>

#include <atomic>
#include <memory>
#include <vector>

#include "videosource/MediaTypeCopy.h"
#include "videosource/ServerLock.h"

namespace orvane::videosource {

using MediaTypeList = std::vector<std::unique_ptr<MediaType>>;

class MediaTypeEnumerator final : public IEnumMediaTypes {
public:
    // Takes the list; shared by the clones.
    static HRESULT Create(std::shared_ptr<const MediaTypeList> types, ULONG position, IEnumMediaTypes** result);

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
    STDMETHODIMP Skip(ULONG count) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumMediaTypes** result) override;

private:
    MediaTypeEnumerator(std::shared_ptr<const MediaTypeList> types, ULONG position) : types_(std::move(types)), position_(position) {}
    ~MediaTypeEnumerator() = default;

    std::atomic<ULONG> references_{1};
    ObjectCount alive_;
    std::shared_ptr<const MediaTypeList> types_;
    ULONG position_;
};

}  // namespace orvane::videosource
