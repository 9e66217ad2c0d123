#include "timing/TimeSourceInterface.h"

#include "timing/TimeSourceManager.h"

STDMETHODIMP CTimeSourceInterface::GetSynchronizationStatus(LONG* status)
{
    if (card_ == nullptr) {
        return S_OK;
    }
    if (status == nullptr) {
        return E_POINTER;
    }
    *status = card_->GetSynchronizationStatus();
    return S_OK;
}

STDMETHODIMP CTimeSourceInterface::IsGPSSupported(LONG* supported)
{
    if (card_ == nullptr) {
        return S_OK;
    }
    if (supported == nullptr) {
        return E_POINTER;
    }
    // The plug-in's 8-bit answer, zero-extended: the host and the plug-in agree on its meaning.
    *supported = card_->IsGPSSupported();
    return S_OK;
}

STDMETHODIMP CTimeSourceInterface::GetGPSData(LONG* word, LONG flag)
{
    if (card_ == nullptr) {
        return S_OK;
    }
    if (word == nullptr) {
        return E_POINTER;
    }
    card_->GetGPSData(static_cast<std::uint32_t>(*word), flag != 0);
    return S_OK;
}

STDMETHODIMP CTimeSourceInterface::StopReadingGPSData()
{
    if (card_ != nullptr) {
        card_->StopReadingGPSData();
    }
    return S_OK;
}
