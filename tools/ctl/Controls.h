#pragma once
// What the grabber offers a user to change, read through the host interfaces: the enumerated
// settings with their options and the adjustments with their types and ranges, found by name or
// id, shown, and set with the value checked against what was registered.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "CorvathSdk.h"

namespace orvane::ctl {

struct SettingChoice {
    LONG value = 0;
    std::string label;
};

struct SettingEntry {
    LONG id = 0;
    std::string name;
    std::vector<SettingChoice> choices;
};

struct AdjustmentEntry {
    LONG id = 0;
    std::string name;
    bool isLong = false;
    LONG longMin = 0;
    LONG longMax = 0;
    double doubleMin = 0;
    double doubleMax = 0;
};

// A setting or an adjustment, whichever a name or id named.
struct Control {
    const SettingEntry* setting = nullptr;
    const AdjustmentEntry* adjustment = nullptr;
};

// Whether a value lies in an adjustment's floating-point range. The module offers some bounds
// rounded to single precision (a limit of 2.6 arrives as 2.5999999046): a value within that
// rounding of a bound counts as inside, so that the limit --list shows is itself accepted.
bool WithinRange(double value, double min, double max);

class Controls {
public:
    Controls(ICorvathSettingsProp* settings, ICorvathAdjustment* adjustments);

    // Reads both lists; false with `error` when the grabber does not answer.
    bool Load(std::string& error);
    // Names are matched without regard to case, ids as numbers; false with `error` when nothing
    // (or both a setting and an adjustment) has it.
    bool Find(const std::string& nameOrId, Control& control, std::string& error) const;
    // "NAME = value" with the value read now.
    std::string Describe(const Control& control) const;
    // Checks the value against the registered range or options and sets it. Returns the exit code:
    // 0 done, 2 the value does not fit (`error` says why), 1 the grabber refused.
    int Set(const Control& control, const std::string& value, std::string& error) const;
    void PrintList(std::FILE* out) const;

private:
    std::string ValueText(const Control& control) const;

    ICorvathSettingsProp* settingsProp_;
    ICorvathAdjustment* adjustmentProp_;
    std::vector<SettingEntry> settings_;
    std::vector<AdjustmentEntry> adjustments_;
};

}  // namespace orvane::ctl
