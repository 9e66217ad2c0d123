#pragma once
// Reads and writes the value of one enumerated setting. The object that owns the value (a part of
// the card) implements it; the settings list only points at it.
#include <cstdint>

class CGetSetSettings {
public:
    virtual std::int32_t GetValue() = 0;
    virtual void SetValue(std::int32_t value) = 0;

protected:
    CGetSetSettings() = default;
    ~CGetSetSettings() = default;
    CGetSetSettings(const CGetSetSettings&) = default;
    CGetSetSettings& operator=(const CGetSetSettings&) = default;
};
