#include "settings/SettingsStruct.h"

#include <new>

namespace {

orvane::UniqueBstr CopyText(const wchar_t* text)
{
    if (text == nullptr) {
        return {};
    }
    orvane::UniqueBstr copy(SysAllocString(text));
    if (copy.Get() == nullptr) {
        throw std::bad_alloc();
    }
    return copy;
}

}  // namespace

std::int32_t CSettingsStruct::GetValue(std::int32_t /*id*/)
{
    return 0;
}

void CSettingsStruct::SetValue(std::int32_t /*id*/, std::int32_t /*value*/) {}

void CSettingsStruct::AddSetting(const wchar_t* name, std::int32_t id, CGetSetSettings* accessor)
{
    SettingEntry entry;
    entry.id = id;
    entry.name = CopyText(name != nullptr ? name : L"");
    entry.accessor = accessor;
    settings_.push_back(std::move(entry));
}

void CSettingsStruct::AddSettingOption(std::int32_t id, const wchar_t* label, std::int32_t value,
                                       const wchar_t* description)
{
    for (SettingEntry& entry : settings_) {
        if (entry.id == id) {
            SettingOption option;
            option.value = value;
            option.label = CopyText(label != nullptr ? label : L"");
            option.description = CopyText(description);
            entry.options.push_back(std::move(option));
            return;
        }
    }
}

const SettingEntry* CSettingsStruct::FindSetting(std::int32_t id) const noexcept
{
    for (const SettingEntry& entry : settings_) {
        if (entry.id == id) {
            return &entry;
        }
    }
    return nullptr;
}
