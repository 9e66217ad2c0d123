#pragma once
// The card's enumerated settings: named choices, each with labelled integer options, which the
// host lists, reads and sets through its settings interface. The list is built whole by
// RebuildSettings and rebuilt after every change, never edited in place.
#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <vector>

#include "platform/UniqueBstr.h"
#include "settings/GetSetSettings.h"

struct SettingOption {
    std::int32_t value = 0;
    orvane::UniqueBstr label;
    orvane::UniqueBstr description;  // may be null; not handed to the host
};

struct SettingEntry {
    std::int32_t id = 0;
    orvane::UniqueBstr name;
    CGetSetSettings* accessor = nullptr;  // a part of the card, not owned; null for a plain value
    std::vector<SettingOption> options;
};

class CSettingsStruct {
public:
    CSettingsStruct() = default;
    CSettingsStruct(const CSettingsStruct&) = delete;
    CSettingsStruct& operator=(const CSettingsStruct&) = delete;

    // The virtual operations keep this order.
    virtual ~CSettingsStruct() = default;
    virtual void RebuildSettings() = 0;
    // The value of a setting without an accessor: 0, and a write does nothing.
    virtual std::int32_t GetValue(std::int32_t id);
    virtual void SetValue(std::int32_t id, std::int32_t value);

    void AddSetting(const wchar_t* name, std::int32_t id, CGetSetSettings* accessor);
    // Appends to the first setting with that id; nothing when there is none.
    void AddSettingOption(std::int32_t id, const wchar_t* label, std::int32_t value,
                          const wchar_t* description = nullptr);
    void ClearSettings() noexcept { settings_.clear(); }

    const std::vector<SettingEntry>& Settings() const noexcept { return settings_; }
    // The first setting with that id, or null.
    const SettingEntry* FindSetting(std::int32_t id) const noexcept;

private:
    std::vector<SettingEntry> settings_;
};
