#include "tools/ctl/Controls.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "platform/UniqueBstr.h"
#include "tools/common/ComErrorText.h"
#include "tools/common/ExitCodes.h"

namespace orvane::ctl {

namespace {

std::string Lower(std::string text)
{
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string TextOf(const UniqueBstr& text)
{
    return text.Get() != nullptr ? host::Narrow(std::wstring(text.Get(), SysStringLen(text.Get()))) : std::string();
}

bool ParseLong(const std::string& text, LONG& value)
{
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE) {
        return false;
    }
    value = parsed;
    return true;
}

bool ParseDouble(const std::string& text, double& value)
{
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size() && std::isfinite(value);
}

std::string Number(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.4f", value);
    return text;
}

}  // namespace

bool WithinRange(double value, double min, double max)
{
    const double slack = std::numeric_limits<float>::epsilon();
    return value >= min - std::fabs(min) * slack && value <= max + std::fabs(max) * slack;
}

bool TookValue(double asked, double read)
{
    return std::fabs(read - asked) <= 0.05 + std::fabs(asked) * std::numeric_limits<float>::epsilon();
}

Controls::Controls(ICorvathSettingsProp* settings, ICorvathAdjustment* adjustments)
    : settingsProp_(settings), adjustmentProp_(adjustments)
{
}

bool Controls::Load(std::string& error)
{
    LONG count = 0;
    HRESULT result = settingsProp_->GetSettingCount(&count);
    for (LONG i = 0; SUCCEEDED(result) && i < count; ++i) {
        SettingEntry entry;
        UniqueBstr name;
        result = settingsProp_->GetSettingInfo(i, name.Put(), &entry.id);
        entry.name = TextOf(name);
        LONG options = 0;
        if (SUCCEEDED(result)) {
            result = settingsProp_->GetOptionCount(entry.id, &options);
        }
        for (LONG k = 0; SUCCEEDED(result) && k < options; ++k) {
            SettingChoice choice;
            UniqueBstr label;
            result = settingsProp_->GetOptionInfo(entry.id, k, label.Put(), &choice.value);
            choice.label = TextOf(label);
            entry.choices.push_back(choice);
        }
        settings_.push_back(entry);
    }
    if (FAILED(result)) {
        error = "cannot read the settings: " + host::DescribeFailure(result);
        return false;
    }
    result = adjustmentProp_->GetAdjustmentCount(&count);
    for (LONG i = 0; SUCCEEDED(result) && i < count; ++i) {
        AdjustmentEntry entry;
        UniqueBstr name;
        LONG isLong = 0;
        LONG options[4] = {};
        result = adjustmentProp_->GetAdjustmentInfo(i, &entry.id, name.Put(), &entry.longMin, &entry.longMax,
                                                    &entry.doubleMin, &entry.doubleMax, &isLong, &options[0],
                                                    &options[1], &options[2], &options[3]);
        entry.name = TextOf(name);
        entry.isLong = isLong != 0;
        adjustments_.push_back(entry);
    }
    if (FAILED(result)) {
        error = "cannot read the adjustments: " + host::DescribeFailure(result);
        return false;
    }
    return true;
}

bool Controls::Find(const std::string& nameOrId, Control& control, std::string& error) const
{
    LONG id = 0;
    const bool byId = ParseLong(nameOrId, id);
    const std::string wanted = Lower(nameOrId);
    control = Control{};
    int found = 0;
    for (const SettingEntry& entry : settings_) {
        if (byId ? entry.id == id : Lower(entry.name) == wanted) {
            control.setting = &entry;
            ++found;
            break;
        }
    }
    for (const AdjustmentEntry& entry : adjustments_) {
        if (byId ? entry.id == id : Lower(entry.name) == wanted) {
            control.adjustment = &entry;
            ++found;
            break;
        }
    }
    if (found == 0) {
        error = "no setting or adjustment \"" + nameOrId + "\" (see --list)";
        return false;
    }
    if (found == 2) {
        error = "\"" + nameOrId + "\" names both a setting and an adjustment: give the name";
        return false;
    }
    return true;
}

std::string Controls::ValueText(const Control& control) const
{
    if (control.setting != nullptr) {
        LONG value = 0;
        const HRESULT result = settingsProp_->GetSettingValue(control.setting->id, &value);
        if (FAILED(result)) {
            return "? (" + host::DescribeFailure(result) + ")";
        }
        std::string text = std::to_string(value);
        for (const SettingChoice& choice : control.setting->choices) {
            if (choice.value == value) {
                return text + " (" + choice.label + ")";
            }
        }
        return text;
    }
    if (control.adjustment->isLong) {
        LONG value = 0;
        const HRESULT result = adjustmentProp_->GetLongValue(control.adjustment->id, &value);
        return FAILED(result) ? "? (" + host::DescribeFailure(result) + ")" : std::to_string(value);
    }
    double value = 0;
    const HRESULT result = adjustmentProp_->GetDoubleValue(control.adjustment->id, &value);
    return FAILED(result) ? "? (" + host::DescribeFailure(result) + ")" : Number(value);
}

std::optional<double> Controls::NumericValue(const Control& control) const
{
    LONG number = 0;
    double real = 0;
    if (control.setting != nullptr) {
        return SUCCEEDED(settingsProp_->GetSettingValue(control.setting->id, &number)) ? std::optional<double>(number) : std::nullopt;
    }
    if (control.adjustment->isLong) {
        return SUCCEEDED(adjustmentProp_->GetLongValue(control.adjustment->id, &number)) ? std::optional<double>(number) : std::nullopt;
    }
    return SUCCEEDED(adjustmentProp_->GetDoubleValue(control.adjustment->id, &real)) ? std::optional<double>(real) : std::nullopt;
}

std::string Controls::Describe(const Control& control) const
{
    const std::string& name = control.setting != nullptr ? control.setting->name : control.adjustment->name;
    return name + " = " + ValueText(control);
}

int Controls::Set(const Control& control, const std::string& value, std::string& error) const
{
    using host::kExitUsage;
    HRESULT result = S_OK;
    bool taken = true;
    if (control.setting != nullptr) {
        const SettingEntry& entry = *control.setting;
        LONG number = 0;
        const bool numeric = ParseLong(value, number);
        const SettingChoice* chosen = nullptr;
        for (const SettingChoice& choice : entry.choices) {
            if (numeric ? choice.value == number : Lower(choice.label) == Lower(value)) {
                chosen = &choice;
                break;
            }
        }
        if (chosen == nullptr) {
            error = entry.name + ": \"" + value + "\" is not one of its options (see --list)";
            return kExitUsage;
        }
        result = settingsProp_->SetSettingValue(entry.id, chosen->value);
        LONG read = 0;
        taken = SUCCEEDED(result) && SUCCEEDED(settingsProp_->GetSettingValue(entry.id, &read)) && read == chosen->value;
    } else if (control.adjustment->isLong) {
        const AdjustmentEntry& entry = *control.adjustment;
        LONG number = 0;
        if (!ParseLong(value, number)) {
            error = entry.name + " takes a whole number, not \"" + value + "\"";
            return kExitUsage;
        }
        if (number < entry.longMin || number > entry.longMax) {
            error = entry.name + ": " + value + " is outside its range " + std::to_string(entry.longMin) + " .. " +
                    std::to_string(entry.longMax);
            return kExitUsage;
        }
        result = adjustmentProp_->SetLongValue(entry.id, number);
        LONG read = 0;
        taken = SUCCEEDED(result) && SUCCEEDED(adjustmentProp_->GetLongValue(entry.id, &read)) && read == number;
    } else {
        const AdjustmentEntry& entry = *control.adjustment;
        double number = 0;
        if (!ParseDouble(value, number)) {
            error = entry.name + " takes a number, not \"" + value + "\"";
            return kExitUsage;
        }
        if (!WithinRange(number, entry.doubleMin, entry.doubleMax)) {
            error = entry.name + ": " + value + " is outside its range " + Number(entry.doubleMin) + " .. " +
                    Number(entry.doubleMax);
            return kExitUsage;
        }
        result = adjustmentProp_->SetDoubleValue(entry.id, number);
        double read = 0;
        taken = SUCCEEDED(result) && SUCCEEDED(adjustmentProp_->GetDoubleValue(entry.id, &read)) && TookValue(number, read);
    }
    if (FAILED(result)) {
        error = "cannot set " + value + ": " + host::DescribeFailure(result);
        return host::kExitFailed;
    }
    if (!taken) {
        const std::string& name = control.setting != nullptr ? control.setting->name : control.adjustment->name;
        error = name + ": the board did not take " + value + "; it kept " + ValueText(control);
        return host::kExitValueNotTaken;
    }
    return host::kExitSuccess;
}

void Controls::PrintList(std::FILE* out) const
{
    std::fprintf(out, "Settings:\n");
    for (const SettingEntry& entry : settings_) {
        std::fprintf(out, "  %-22s id %-3ld menu     value %s\n", entry.name.c_str(), static_cast<long>(entry.id),
                     ValueText(Control{&entry, nullptr}).c_str());
        for (const SettingChoice& choice : entry.choices) {
            std::fprintf(out, "      %3ld: %s\n", static_cast<long>(choice.value), choice.label.c_str());
        }
    }
    std::fprintf(out, "Adjustments:\n");
    for (const AdjustmentEntry& entry : adjustments_) {
        const std::string range = entry.isLong ? std::to_string(entry.longMin) + " .. " + std::to_string(entry.longMax)
                                               : Number(entry.doubleMin) + " .. " + Number(entry.doubleMax);
        std::fprintf(out, "  %-22s id %-3ld %-8s %-21s value %s\n", entry.name.c_str(), static_cast<long>(entry.id),
                     entry.isLong ? "integer" : "double", range.c_str(), ValueText(Control{nullptr, &entry}).c_str());
    }
}

}  // namespace orvane::ctl
