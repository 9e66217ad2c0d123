#include "videosource/VideoProcAmp.h"

#include <vfwmsgs.h>

#include <algorithm>
#include <cmath>
#include <iterator>

#include "platform/UniqueBstr.h"

namespace orvane::videosource {

namespace {

constexpr double kBoardUnits = 10000.0;
// The board's power-on values: the middle of each byte-wide control, unity gain.
constexpr long kByteDefault = 128;
constexpr long kGainDefault = 10000;

struct PropertyAdjustment {
    long property;
    LONG adjustmentId;
    long defaultValue;
};

constexpr PropertyAdjustment kProperties[] = {
    {VideoProcAmp_Brightness, 6, kByteDefault},
    {VideoProcAmp_Contrast, 7, kByteDefault},
    {VideoProcAmp_Hue, 8, kByteDefault},
    {VideoProcAmp_Saturation, 9, kByteDefault},
    {VideoProcAmp_Gain, 1, kGainDefault},
};

struct Found {
    LONG id = 0;
    bool isLong = false;
    long minimum = 0;
    long maximum = 0;
    long defaultValue = 0;
};

long ToBoardUnits(double value) { return static_cast<long>(std::lround(value * kBoardUnits)); }

// The adjustment behind a property, as the module registers it now.
HRESULT Find(ICorvathAdjustment& adjustments, long property, Found& found)
{
    const auto entry = std::find_if(std::begin(kProperties), std::end(kProperties),
                                    [&](const PropertyAdjustment& p) { return p.property == property; });
    if (entry == std::end(kProperties)) {
        return E_PROP_ID_UNSUPPORTED;
    }
    LONG count = 0;
    HRESULT result = adjustments.GetAdjustmentCount(&count);
    if (FAILED(result)) {
        return result;
    }
    for (LONG index = 0; index < count; ++index) {
        LONG id = 0;
        UniqueBstr name;
        LONG longMin = 0, longMax = 0, isLong = 0, o1 = 0, o2 = 0, o3 = 0, o4 = 0;
        double doubleMin = 0, doubleMax = 0;
        if (FAILED(result = adjustments.GetAdjustmentInfo(index, &id, name.Put(), &longMin, &longMax, &doubleMin, &doubleMax, &isLong,
                                                          &o1, &o2, &o3, &o4))) {
            return result;
        }
        if (id != entry->adjustmentId) {
            continue;
        }
        found.id = id;
        found.isLong = isLong != 0;
        found.minimum = found.isLong ? longMin : ToBoardUnits(doubleMin);
        found.maximum = found.isLong ? longMax : ToBoardUnits(doubleMax);
        found.defaultValue = std::clamp(entry->defaultValue, found.minimum, std::max(found.minimum, found.maximum));
        return S_OK;
    }
    return E_PROP_ID_UNSUPPORTED;
}

}  // namespace

double FromBoardUnits(long value)
{
    // value / 10000 times 10000 may land just below value (0.57 gives 5699.99...), and the module
    // may multiply in more precision than a double (x87 in 32-bit builds) or in exactly that: the
    // products are taken as doubles (volatile keeps them so), and the answer is one step further
    // up, past any product that only a rounding brings to value.
    volatile double candidate = static_cast<double>(value) / kBoardUnits;
    for (;;) {
        const volatile double product = candidate * kBoardUnits;
        if (static_cast<long>(product) >= value) {
            break;
        }
        candidate = std::nextafter(static_cast<double>(candidate), HUGE_VAL);
    }
    return std::nextafter(static_cast<double>(candidate), HUGE_VAL);
}

HRESULT GetProcAmpRange(ICorvathAdjustment& adjustments, long property, ProcAmpRange& range)
{
    Found found;
    const HRESULT result = Find(adjustments, property, found);
    if (FAILED(result)) {
        return result;
    }
    range = {found.minimum, found.maximum, 1, found.defaultValue, VideoProcAmp_Flags_Manual};
    return S_OK;
}

HRESULT GetProcAmpValue(ICorvathAdjustment& adjustments, long property, long& value, long& flags)
{
    Found found;
    HRESULT result = Find(adjustments, property, found);
    if (FAILED(result)) {
        return result;
    }
    if (found.isLong) {
        LONG current = 0;
        result = adjustments.GetLongValue(found.id, &current);
        value = current;
    } else {
        double current = 0;
        result = adjustments.GetDoubleValue(found.id, &current);
        value = ToBoardUnits(current);
    }
    flags = VideoProcAmp_Flags_Manual;
    return FAILED(result) ? result : S_OK;
}

HRESULT SetProcAmpValue(ICorvathAdjustment& adjustments, long property, long value, long flags)
{
    Found found;
    const HRESULT result = Find(adjustments, property, found);
    if (FAILED(result)) {
        return result;
    }
    if (flags != VideoProcAmp_Flags_Manual || value < found.minimum || value > found.maximum) {
        return E_INVALIDARG;
    }
    return found.isLong ? adjustments.SetLongValue(found.id, value) : adjustments.SetDoubleValue(found.id, FromBoardUnits(value));
}

}  // namespace orvane::videosource
