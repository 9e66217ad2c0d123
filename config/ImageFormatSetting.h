#pragma once
// The "Image Format" setting's accessor: its value is the card's image format type. The card
// implements the two format operations over its own members; this class holds nothing.
#include <cstdint>

#include "settings/GetSetSettings.h"

class CImageFormatSetting : public CGetSetSettings {
public:
    std::int32_t GetValue() override { return GetFormatType(); }
    void SetValue(std::int32_t value) override { SetFormatType(value); }

    virtual std::int32_t GetFormatType() = 0;
    // Selects a format: the pixel mode the board needs, buffers of the new size, and the choice
    // remembered for the next start.
    virtual void SetFormatType(std::int32_t type) = 0;

protected:
    CImageFormatSetting() = default;
    ~CImageFormatSetting() = default;
    CImageFormatSetting(const CImageFormatSetting&) = default;
    CImageFormatSetting& operator=(const CImageFormatSetting&) = default;
};
