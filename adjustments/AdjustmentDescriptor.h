#pragma once
// One entry of the adjustment registry: what the host lists for an adjustment, and the object that
// serves its reads and writes.
#include <windows.h>

#include "adjustments/Adjustment.h"
#include "platform/UniqueBstr.h"

struct AdjustmentDescriptor {
    LONG id = 0;
    orvane::UniqueBstr name;      // copied on registration
    LONG longMin = 0;             // integer bounds; 0 for a floating-point adjustment
    LONG longMax = 0;
    double doubleMin = 0.0;       // floating-point bounds; 0.0 for an integer adjustment
    double doubleMax = 0.0;
    LONG option2 = 0;
    LONG option3 = 0;
    LONG option4 = 0;
    LONG isLong = 0;              // 1 = integer adjustment, 0 = floating point
    LONG option1 = 0;
    CAdjustment* adjustment = nullptr;  // not owned; null: the registry's own fallbacks answer
};
