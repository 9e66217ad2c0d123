#include "adjustments/AdjustmentSupportInterface.h"

#include "adjustments/AdjustmentSupport.h"
#include "platform/InterfaceBoundary.h"

template <typename Call>
HRESULT CAdjustmentSupportInterface::Forward(Call&& call) noexcept
{
    if (registry_ == nullptr) {
        return E_FAIL;
    }
    // The adjustments reach the board and the file; nothing they raise may leave through COM.
    return orvane::CallAtInterface([&]() -> HRESULT { return call(*registry_); });
}

STDMETHODIMP CAdjustmentSupportInterface::GetAdjustmentCount(LONG* count)
{
    return Forward([&](CAdjustmentSupport& registry) {
        if (count == nullptr) {
            return E_POINTER;
        }
        *count = registry.GetAdjustmentCount();
        return S_OK;
    });
}

STDMETHODIMP CAdjustmentSupportInterface::GetAdjustmentInfo(LONG index, LONG* id, BSTR* name, LONG* longMin,
                                                            LONG* longMax, double* doubleMin, double* doubleMax,
                                                            LONG* isLong, LONG* option1, LONG* option2,
                                                            LONG* option3, LONG* option4)
{
    return Forward([&](CAdjustmentSupport& registry) {
        if (id == nullptr || name == nullptr || longMin == nullptr || longMax == nullptr || doubleMin == nullptr ||
            doubleMax == nullptr || isLong == nullptr || option1 == nullptr || option2 == nullptr ||
            option3 == nullptr || option4 == nullptr) {
            return E_POINTER;
        }
        return registry.GetAdjustmentInfo(index, id, name, longMin, longMax, doubleMin, doubleMax, isLong, option1,
                                          option2, option3, option4)
                   ? S_OK
                   : E_INVALIDARG;
    });
}

STDMETHODIMP CAdjustmentSupportInterface::GetLongValue(LONG id, LONG* value)
{
    return Forward([&](CAdjustmentSupport& registry) {
        if (value == nullptr) {
            return E_POINTER;
        }
        registry.GetLongValue(id, value);
        return S_OK;
    });
}

STDMETHODIMP CAdjustmentSupportInterface::SetLongValue(LONG id, LONG value)
{
    return Forward([&](CAdjustmentSupport& registry) {
        registry.SetLongValue(id, value);
        return S_OK;
    });
}

STDMETHODIMP CAdjustmentSupportInterface::GetDoubleValue(LONG id, double* value)
{
    return Forward([&](CAdjustmentSupport& registry) {
        if (value == nullptr) {
            return E_POINTER;
        }
        registry.GetDoubleValue(id, value);
        return S_OK;
    });
}

STDMETHODIMP CAdjustmentSupportInterface::SetDoubleValue(LONG id, double value)
{
    return Forward([&](CAdjustmentSupport& registry) {
        registry.SetDoubleValue(id, value);
        return S_OK;
    });
}

STDMETHODIMP CAdjustmentSupportInterface::GetStateValue(LONG id, LONG* value)
{
    return Forward([&](CAdjustmentSupport& registry) {
        if (value == nullptr) {
            return E_POINTER;
        }
        registry.GetStateValue(id, value);
        return S_OK;
    });
}

STDMETHODIMP CAdjustmentSupportInterface::SetStateValue(LONG id, LONG value)
{
    return Forward([&](CAdjustmentSupport& registry) {
        registry.SetStateValue(id, value);
        return S_OK;
    });
}

STDMETHODIMP CAdjustmentSupportInterface::Execute(LONG id)
{
    return Forward([&](CAdjustmentSupport& registry) {
        registry.Execute(id);
        return S_OK;
    });
}
