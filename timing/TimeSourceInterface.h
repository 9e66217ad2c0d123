#pragma once
// The host's view of the time-source plug-in (ICorvathTimeSourceProp), one of the grabber object's
// bases. It holds a pointer to the card's time source, which it does not own; the pointer is null
// until the grabber is initialised, and the operations then leave their out arguments as they are.
// Every operation answers S_OK (E_POINTER for a missing out argument) and takes no lock.
#include <windows.h>

#include "CorvathSdk.h"

class CTimeSourceManager;

class CTimeSourceInterface : public ICorvathTimeSourceProp {
public:
    CTimeSourceInterface() = default;
    CTimeSourceInterface(const CTimeSourceInterface&) = delete;
    CTimeSourceInterface& operator=(const CTimeSourceInterface&) = delete;

    void SetTimeSourceCard(CTimeSourceManager* card) noexcept { card_ = card; }
    CTimeSourceManager* TimeSourceCard() const noexcept { return card_; }

    // ICorvathTimeSourceProp: passed through to the held plug-in.
    STDMETHOD(GetSynchronizationStatus)(LONG* status) override;
    STDMETHOD(IsGPSSupported)(LONG* supported) override;
    STDMETHOD(GetGPSData)(LONG* word, LONG flag) override;
    STDMETHOD(StopReadingGPSData)() override;

    // Last in the table, after the interface's operations.
    virtual ~CTimeSourceInterface() = default;

private:
    CTimeSourceManager* card_ = nullptr;
};
