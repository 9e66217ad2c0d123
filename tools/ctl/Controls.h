#pragma once
// What the grabber offers a user to change, read through the host interfaces: the enumerated
// settings with their options and the adjustments with their types and ranges, found by name or
// id, shown, and set with the value checked against what was registered.
#include <windows.h>

#include <cstdio>
#include <optional>
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

// Whether a floating-point adjustment read back as `read` took `asked`: the board keeps tenths of
// some values (phase, back porch) and ten-thousandths of others, so a value within half a tenth
// counts as taken.
bool TookValue(double asked, double read);

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
    // Checks the value against the registered range or options, sets it and reads it back. Returns
    // the exit code (ExitCodes.h): success; usage when the value does not fit (`error` says why);
    // failed when the grabber refused the call; value-not-taken when the board kept another value
    // (the module answers S_OK either way: only the read-back tells).
    int Set(const Control& control, const std::string& value, std::string& error) const;
    void PrintList(std::FILE* out) const;

    const std::vector<SettingEntry>& Settings() const { return settings_; }
    const std::vector<AdjustmentEntry>& Adjustments() const { return adjustments_; }
    // The value read now; nullopt when the grabber does not answer.
    std::optional<double> NumericValue(const Control& control) const;
    // The value read now as text ("6 (BGR 32)", "1.2346").
    std::string ValueText(const Control& control) const;

private:

    ICorvathSettingsProp* settingsProp_;
    ICorvathAdjustment* adjustmentProp_;
    std::vector<SettingEntry> settings_;
    std::vector<AdjustmentEntry> adjustments_;
};

}  // namespace orvane::ctl
