#pragma once
// The host's view of the card's enumerated settings (ICorvathSettingsProp), one of the grabber
// object's bases. It holds a pointer to the card's settings list, which it does not own; until the
// grabber is initialised the pointer is null and every operation answers E_FAIL.
#include <windows.h>

#include "CorvathSdk.h"

class CSettingsStruct;

class CSettingInterface : public ICorvathSettingsProp {
public:
    CSettingInterface() = default;
    CSettingInterface(const CSettingInterface&) = delete;
    CSettingInterface& operator=(const CSettingInterface&) = delete;

    void SetSettings(CSettingsStruct* settings) noexcept { settings_ = settings; }
    CSettingsStruct* Settings() const noexcept { return settings_; }

    // ICorvathSettingsProp. Reading and changing the list arrives with the settings feature.
    STDMETHOD(GetSettingCount)(LONG* /*count*/) override { return Unavailable(); }
    STDMETHOD(GetOptionCount)(LONG /*id*/, LONG* /*count*/) override { return Unavailable(); }
    STDMETHOD(GetSettingInfo)(LONG /*index*/, BSTR* /*name*/, LONG* /*id*/) override { return Unavailable(); }
    STDMETHOD(GetOptionInfo)(LONG /*id*/, LONG /*optionIndex*/, BSTR* /*label*/, LONG* /*value*/) override
    {
        return Unavailable();
    }
    STDMETHOD(GetSettingValue)(LONG /*id*/, LONG* /*value*/) override { return Unavailable(); }
    STDMETHOD(SetSettingValue)(LONG /*id*/, LONG /*value*/) override { return Unavailable(); }

    // Last in the table, after the interface's operations.
    virtual ~CSettingInterface() = default;

private:
    HRESULT Unavailable() const noexcept { return settings_ == nullptr ? E_FAIL : E_NOTIMPL; }

    CSettingsStruct* settings_ = nullptr;
};
