#include "settings/SettingInterface.h"

#include <vector>

#include "platform/InterfaceBoundary.h"
#include "settings/SettingsStruct.h"

namespace {

// Replaces the caller's text with a copy of `source`; a failed reallocation leaves it as it was.
void ReplaceText(BSTR* text, BSTR source) noexcept
{
    SysReAllocStringLen(text, source, source != nullptr ? SysStringLen(source) : 0);
}

}  // namespace

STDMETHODIMP CSettingInterface::GetSettingCount(LONG* count)
{
    if (settings_ == nullptr) {
        return E_FAIL;
    }
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = static_cast<LONG>(settings_->Settings().size());
    return S_OK;
}

STDMETHODIMP CSettingInterface::GetOptionCount(LONG id, LONG* count)
{
    if (settings_ == nullptr) {
        return E_FAIL;
    }
    if (count == nullptr) {
        return E_POINTER;
    }
    const SettingEntry* entry = settings_->FindSetting(id);
    *count = entry != nullptr ? static_cast<LONG>(entry->options.size()) : 0;
    return S_OK;
}

STDMETHODIMP CSettingInterface::GetSettingInfo(LONG index, BSTR* name, LONG* id)
{
    if (settings_ == nullptr) {
        return E_FAIL;
    }
    if (name == nullptr || id == nullptr) {
        return E_POINTER;
    }
    const auto& settings = settings_->Settings();
    if (index < 0 || static_cast<size_t>(index) >= settings.size()) {
        return E_INVALIDARG;
    }
    const SettingEntry& entry = settings[static_cast<size_t>(index)];
    ReplaceText(name, entry.name.Get());
    *id = entry.id;
    return S_OK;
}

STDMETHODIMP CSettingInterface::GetOptionInfo(LONG id, LONG optionIndex, BSTR* label, LONG* value)
{
    if (settings_ == nullptr) {
        return E_FAIL;
    }
    if (label == nullptr || value == nullptr) {
        return E_POINTER;
    }
    // Every setting with the id answers in turn, so the last one that has the position wins.
    bool matched = false;
    bool answered = false;
    for (const SettingEntry& entry : settings_->Settings()) {
        if (entry.id != id) {
            continue;
        }
        matched = true;
        if (optionIndex < 0 || static_cast<size_t>(optionIndex) >= entry.options.size()) {
            continue;
        }
        const SettingOption& option = entry.options[static_cast<size_t>(optionIndex)];
        *value = option.value;
        ReplaceText(label, option.label.Get());
        answered = true;
    }
    return matched && !answered ? E_INVALIDARG : S_OK;
}

STDMETHODIMP CSettingInterface::GetSettingValue(LONG id, LONG* value)
{
    if (settings_ == nullptr) {
        return E_FAIL;
    }
    if (value == nullptr) {
        return E_POINTER;
    }
    return orvane::CallAtInterface([&] {
        const SettingEntry* entry = settings_->FindSetting(id);
        if (entry == nullptr) {
            *value = 0;
        } else {
            *value = entry->accessor != nullptr ? entry->accessor->GetValue() : settings_->GetValue(id);
        }
        return S_OK;
    });
}

STDMETHODIMP CSettingInterface::SetSettingValue(LONG id, LONG value)
{
    if (settings_ == nullptr) {
        return E_FAIL;
    }
    return orvane::CallAtInterface([&] {
        // Taken first, in list order (null for a plain value): a setter must not pull the list
        // from under the loop.
        std::vector<CGetSetSettings*> targets;
        for (const SettingEntry& entry : settings_->Settings()) {
            if (entry.id == id) {
                targets.push_back(entry.accessor);
            }
        }
        for (CGetSetSettings* target : targets) {
            if (target != nullptr) {
                target->SetValue(value);
            } else {
                settings_->SetValue(id, value);
            }
        }
        settings_->ClearSettings();
        settings_->RebuildSettings();
        return S_OK;
    });
}
