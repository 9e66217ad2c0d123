#pragma once
// The host's view of the card's adjustments (ICorvathAdjustment), one of the grabber object's
// bases. It holds a pointer to the card's adjustment registry, which it does not own; until the
// grabber is initialised the pointer is null and every operation answers E_FAIL with its outputs
// untouched. Afterwards every operation answers S_OK, an unknown id included (zero outputs, no
// effect); a position outside the registry answers E_INVALIDARG with the outputs untouched.
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

    // ICorvathAdjustment
    STDMETHOD(GetAdjustmentCount)(LONG* count) override;
    STDMETHOD(GetAdjustmentInfo)(LONG index, LONG* id, BSTR* name, LONG* longMin, LONG* longMax, double* doubleMin,
                                 double* doubleMax, LONG* isLong, LONG* option1, LONG* option2, LONG* option3,
                                 LONG* option4) override;
    STDMETHOD(GetLongValue)(LONG id, LONG* value) override;
    STDMETHOD(SetLongValue)(LONG id, LONG value) override;
    STDMETHOD(GetDoubleValue)(LONG id, double* value) override;
    STDMETHOD(SetDoubleValue)(LONG id, double value) override;
    STDMETHOD(GetStateValue)(LONG id, LONG* value) override;
    STDMETHOD(SetStateValue)(LONG id, LONG value) override;
    STDMETHOD(Execute)(LONG id) override;

    // Last in the table, after the interface's operations.
    virtual ~CAdjustmentSupportInterface() = default;

private:
    // Runs `call` on the registry at the interface boundary: E_FAIL without a registry.
    template <typename Call>
    HRESULT Forward(Call&& call) noexcept;

    CAdjustmentSupport* registry_ = nullptr;
};
