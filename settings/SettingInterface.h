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

    // ICorvathSettingsProp. A position outside the list answers E_INVALIDARG and leaves the
    // outputs untouched; an id no setting has answers as if the setting were empty.
    STDMETHOD(GetSettingCount)(LONG* count) override;
    STDMETHOD(GetOptionCount)(LONG id, LONG* count) override;
    STDMETHOD(GetSettingInfo)(LONG index, BSTR* name, LONG* id) override;
    STDMETHOD(GetOptionInfo)(LONG id, LONG optionIndex, BSTR* label, LONG* value) override;
    STDMETHOD(GetSettingValue)(LONG id, LONG* value) override;
    // Sets every setting with that id, then rebuilds the whole list (and what the card rebuilds
    // with it), whether or not one matched.
    STDMETHOD(SetSettingValue)(LONG id, LONG value) override;

    // Last in the table, after the interface's operations.
    virtual ~CSettingInterface() = default;

private:
    CSettingsStruct* settings_ = nullptr;
};
