#pragma once
// The host's view of the time-source plug-in (ICorvathTimeSourceProp), one of the grabber object's
// bases. It holds a pointer into the card, which it does not own; the pointer is null until the
// grabber is initialised, and the operations then leave their out arguments as they are.
#include <windows.h>

#include "CorvathSdk.h"

class CTripleList;

class CTimeSourceInterface : public ICorvathTimeSourceProp {
public:
    CTimeSourceInterface() = default;
    CTimeSourceInterface(const CTimeSourceInterface&) = delete;
    CTimeSourceInterface& operator=(const CTimeSourceInterface&) = delete;

    void SetTimeSourceCard(CTripleList* card) noexcept { card_ = card; }
    CTripleList* TimeSourceCard() const noexcept { return card_; }

    // ICorvathTimeSourceProp. The plug-in calls arrive with the time-source feature.
    STDMETHOD(GetSynchronizationStatus)(LONG* /*status*/) override { return card_ == nullptr ? S_OK : E_NOTIMPL; }
    STDMETHOD(IsGPSSupported)(LONG* /*supported*/) override { return card_ == nullptr ? S_OK : E_NOTIMPL; }
    STDMETHOD(GetGPSData)(LONG* /*word*/, LONG /*flag*/) override { return card_ == nullptr ? S_OK : E_NOTIMPL; }
    STDMETHOD(StopReadingGPSData)() override { return card_ == nullptr ? S_OK : E_NOTIMPL; }

    // Last in the table, after the interface's operations.
    virtual ~CTimeSourceInterface() = default;

private:
    CTripleList* card_ = nullptr;
};
