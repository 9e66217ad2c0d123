#pragma once
// The host's view of the card's adjustments (ICorvathAdjustment), one of the grabber object's
// bases. It holds a pointer to the card's adjustment registry, which it does not own; until the
// grabber is initialised the pointer is null and every operation answers E_FAIL.
#include <windows.h>

#include "CorvathSdk.h"

class CAdjustmentSupport;

class CAdjustmentSupportInterface : public ICorvathAdjustment {
public:
    CAdjustmentSupportInterface() = default;
    CAdjustmentSupportInterface(const CAdjustmentSupportInterface&) = delete;
    CAdjustmentSupportInterface& operator=(const CAdjustmentSupportInterface&) = delete;

    void SetAdjustmentSupport(CAdjustmentSupport* registry) noexcept { registry_ = registry; }
    CAdjustmentSupport* AdjustmentSupport() const noexcept { return registry_; }

    // ICorvathAdjustment. Forwarding to the registry arrives with the adjustment feature.
    STDMETHOD(GetAdjustmentCount)(LONG* /*count*/) override { return Unavailable(); }
    STDMETHOD(GetAdjustmentInfo)(LONG /*index*/, LONG* /*id*/, BSTR* /*name*/, LONG* /*longMin*/, LONG* /*longMax*/,
                                 double* /*doubleMin*/, double* /*doubleMax*/, LONG* /*isLong*/, LONG* /*option1*/,
                                 LONG* /*option2*/, LONG* /*option3*/, LONG* /*option4*/) override
    {
        return Unavailable();
    }
    STDMETHOD(GetLongValue)(LONG /*id*/, LONG* /*value*/) override { return Unavailable(); }
    STDMETHOD(SetLongValue)(LONG /*id*/, LONG /*value*/) override { return Unavailable(); }
    STDMETHOD(GetDoubleValue)(LONG /*id*/, double* /*value*/) override { return Unavailable(); }
    STDMETHOD(SetDoubleValue)(LONG /*id*/, double /*value*/) override { return Unavailable(); }
    STDMETHOD(GetStateValue)(LONG /*id*/, LONG* /*value*/) override { return Unavailable(); }
    STDMETHOD(SetStateValue)(LONG /*id*/, LONG /*value*/) override { return Unavailable(); }
    STDMETHOD(Execute)(LONG /*id*/) override { return Unavailable(); }

    // Last in the table, after the interface's operations.
    virtual ~CAdjustmentSupportInterface() = default;

private:
    HRESULT Unavailable() const noexcept { return registry_ == nullptr ? E_FAIL : E_NOTIMPL; }

    CAdjustmentSupport* registry_ = nullptr;
};
