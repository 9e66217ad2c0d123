#pragma once
// IEnumPins over the filter's one pin. It holds the pin (and so the filter) while it lives.
#include <dshow.h>

#include <atomic>

#include "platform/ComPtr.h"
#include "videosource/ServerLock.h"

namespace orvane::videosource {

class PinEnumerator final : public IEnumPins {
public:
    static HRESULT Create(IPin* pin, ULONG position, IEnumPins** result);

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP Next(ULONG count, IPin** pins, ULONG* fetched) override;
    STDMETHODIMP Skip(ULONG count) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumPins** result) override;

private:
    PinEnumerator(IPin* pin, ULONG position) : pin_(pin), position_(position) {}
    ~PinEnumerator() = default;

    std::atomic<ULONG> references_{1};
    ObjectCount alive_;
    ComPtr<IPin> pin_;
    ULONG position_;
};

}  // namespace orvane::videosource
