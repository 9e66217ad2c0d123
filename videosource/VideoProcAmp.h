#pragma once
// IAMVideoProcAmp's properties over the module's adjustments, with the module's own ranges:
// brightness, contrast, hue and saturation are the board's integer adjustments; gain is the
// analogue front end's floating-point one (there only with a "DVI to VGA" cable), offered as an
// integer in the board's unit of 1/10000. Other properties are not supported.
#include <dshow.h>

#include "CorvathSdk.h"

namespace orvane::videosource {

struct ProcAmpRange {
    long minimum = 0;
    long maximum = 0;
    long step = 1;
    long defaultValue = 0;
    long capsFlags = 0;
};

// E_PROP_ID_UNSUPPORTED for a property without an adjustment behind it.
HRESULT GetProcAmpRange(ICorvathAdjustment& adjustments, long property, ProcAmpRange& range);
HRESULT GetProcAmpValue(ICorvathAdjustment& adjustments, long property, long& value, long& flags);
// E_INVALIDARG for a value outside the range or a flag other than manual.
HRESULT SetProcAmpValue(ICorvathAdjustment& adjustments, long property, long value, long flags);

// The double nearest above value / 10000 that the board, which truncates the product with 10000,
// takes back as exactly `value`.
double FromBoardUnits(long value);

}  // namespace orvane::videosource
