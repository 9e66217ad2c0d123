// The card's adjustments: which of the ten board controls it offers (by cable type, with bounds
// from the board library's model table), and their getters and setters. Six are values of the
// board's mode, applied to the board and kept in the CHP file; four are parameters the board keeps.
#include <cstdint>

#include "adjustments/ValueText.h"
#include "card/OrvaneCard.h"
#include "platform/Diagnostics.h"

using orvane::Trace;

namespace {

// Every adjustment is offered with the same options: (0, 1, 0, 0).
constexpr AdjustmentOptions kOptions{0, 1, 0, 0};

// The board takes brightness, contrast, hue and saturation as one unsigned byte: the range a host's
// control should offer, since anything above would reach the board as its low byte only.
constexpr LONG kParameterMin = 0;
constexpr LONG kParameterMax = 255;

// Model-table limits are in 1/10000; the bounds are offered in single precision.
double LimitBound(int32_t limit)
{
    return static_cast<double>(static_cast<float>(limit / 10000.0));
}

}  // namespace

// What distinguishes the six mode-value setters.
struct COrvaneCard::ModeValue {
    int32_t ModeRecord::*field;
    double scale;          // record units per value unit
    DWORD applyCode;       // third argument of eHD_SetMode
    int site;              // call-site number of the status report
    const char* key;       // key in section "ORVANEHD"
    const char* format;    // " %.4f", " %.1f" (a floating-point value) or " %d" (an integer)
    const char* error;     // logged when the board refuses
};

void COrvaneCard::InitAdjustments()
{
    ClearAdjustments();
    const auto* table = static_cast<const ModelTable*>(eHD_GetModelTable());
    const int model = GetModelIndex();
    if (GetCableType() == OHD_CABLE_DVI_TO_VGA) {
        // Without the model table the limits of black level and gain are unknown: they are not
        // offered rather than offered with bounds that would refuse every value.
        if (table != nullptr) {
            const ModelTableEntry& limits = table->entries[model];
            AddDoubleAdjustment(0, L"Black Level", LimitBound(limits.blackLevelMin), LimitBound(limits.blackLevelMax),
                                kOptions, static_cast<CBlackLevelAdjustment<double>*>(this));
            AddDoubleAdjustment(1, L"Gain", LimitBound(limits.gainMin), LimitBound(limits.gainMax), kOptions,
                                static_cast<CGainAdjustment<double>*>(this));
        } else {
            Trace("Orvane - eHD_GetModelTable() - no model table: Black Level and Gain not offered");
        }
        AddDoubleAdjustment(2, L"Phase", 0.0, 127.5, kOptions, static_cast<CPhaseAdjustment<double>*>(this));
    }
    AddLongAdjustment(3, L"Horizontal Back Sync", 4, 8191, kOptions,
                      static_cast<CHorizontalPositionAdjustment<long>*>(this));
    AddDoubleAdjustment(4, L"Vertical Back Porch", 0.0, 4095.0, kOptions,
                        static_cast<CVerticalPositionAdjustment<double>*>(this));
    AddLongAdjustment(5, L"Horizontal Frequency", 5000, 105000, kOptions,
                      static_cast<CPixelClockAdjustment<long>*>(this));
    AddLongAdjustment(6, L"Brightness", kParameterMin, kParameterMax, kOptions,
                      static_cast<CBrightnessAdjustment<long>*>(this));
    AddLongAdjustment(7, L"Contrast", kParameterMin, kParameterMax, kOptions,
                      static_cast<CContrastAdjustment<long>*>(this));
    AddLongAdjustment(8, L"Hue", kParameterMin, kParameterMax, kOptions, static_cast<CHueAdjustment<long>*>(this));
    AddLongAdjustment(9, L"Saturation", kParameterMin, kParameterMax, kOptions,
                      static_cast<CSaturationAdjustment<long>*>(this));
}

int COrvaneCard::GetModelIndex()
{
    // A read that leaves the word alone answers as type 3 does.
    int16_t type = 3;
    eHD_GetBoardInfo(boardIndex_, OHD_INFO_BOARD_TYPE, sizeof type, &type);
    switch (type) {
    case 4: return 2;
    case 5: case 8: return 4;
    case 6: case 9: return 5;
    case 7: case 10: return 6;
    case 13: case 16: return 8;
    case 14: case 17: return 9;
    case 19: case 20: case 21: case 22: return 7;
    case 23: return 11;
    case 24: return 12;
    default: return 14;
    }
}

void COrvaneCard::SetModeValue(const ModeValue& what, double value)
{
    // Truncated toward zero into the record. A value whose scaled form no 32-bit field holds (or
    // not a number) has no defined conversion: it is refused as the board would refuse it.
    const double scaled = value * what.scale;
    if (!(scaled > -2147483649.0 && scaled < 2147483648.0)) {
        Trace(what.error);
        return;
    }
    // The text is made before the board is touched: a value whose text outgrows the 11 characters
    // would otherwise be in force on the board while the file, which cannot hold it uncut, kept
    // the old one. Every value a board accepts fits.
    char text[orvane::kValueTextSize];
    const bool formatted = what.scale == 1.0 ? orvane::FormatValueText(text, what.format, static_cast<int>(value))
                                              : orvane::FormatValueText(text, what.format, value);
    if (!formatted) {
        Trace(what.error);
        return;
    }
    modeRecord_.*what.field = static_cast<int32_t>(scaled);
    if (ReportStatus(eHD_SetMode(modeHandle_, &modeRecord_, what.applyCode), what.site) != 0) {
        Trace(what.error);
        return;
    }
    WriteProfileValue("ORVANEHD", what.key, text, GetConfigurationFilePath());
}

namespace {

const COrvaneCard::ModeValue kBlackLevel{&ModeRecord::blackLevel, 10000.0, OHD_APPLY_ANALOGUE, 853, "Black Level",
                                         " %.4f", "SetBlackLevelValue() - Error"};
const COrvaneCard::ModeValue kGain{&ModeRecord::gain, 10000.0, OHD_APPLY_ANALOGUE, 882, "Gain", " %.4f",
                                   "SetGainValue() - Error"};
const COrvaneCard::ModeValue kPhase{&ModeRecord::phaseTenths, 10.0, OHD_APPLY_FULL, 911, "Phase Delay", " %.1f",
                                    "SetPhaseValue() - Error"};
const COrvaneCard::ModeValue kHorizontalBackSync{&ModeRecord::horizontalBackSync, 1.0, OHD_APPLY_FULL, 1044,
                                                 "Horizontal Back Sync", " %d",
                                                 "SetHorizontalPositionValue() - Error"};
const COrvaneCard::ModeValue kVerticalBackPorch{&ModeRecord::verticalBackPorchTenths, 10.0, OHD_APPLY_FULL, 1073,
                                                "Vertical Back Porch", " %.1f", "SetVerticalPositionValue() - Error"};
const COrvaneCard::ModeValue kHorizontalFrequency{&ModeRecord::horizontalFrequency, 1.0, OHD_APPLY_FULL, 1102,
                                                  "Horizontal Frequency", " %d", "SetPixelClockValue() - Error"};

}  // namespace

double COrvaneCard::GetBlackLevelValue()
{
    eHD_GetMode(modeHandle_, &modeRecord_);
    return modeRecord_.blackLevel / 10000.0;
}

void COrvaneCard::SetBlackLevelValue(double value)
{
    SetModeValue(kBlackLevel, value);
}

double COrvaneCard::GetGainValue()
{
    eHD_GetMode(modeHandle_, &modeRecord_);
    return modeRecord_.gain / 10000.0;
}

void COrvaneCard::SetGainValue(double value)
{
    SetModeValue(kGain, value);
}

double COrvaneCard::GetPhaseValue()
{
    eHD_GetMode(modeHandle_, &modeRecord_);
    return modeRecord_.phaseTenths / 10.0;
}

void COrvaneCard::SetPhaseValue(double value)
{
    SetModeValue(kPhase, value);
}

long COrvaneCard::GetHorizontalPositionValue()
{
    eHD_GetMode(modeHandle_, &modeRecord_);
    return modeRecord_.horizontalBackSync;
}

void COrvaneCard::SetHorizontalPositionValue(long value)
{
    SetModeValue(kHorizontalBackSync, static_cast<double>(value));
}

double COrvaneCard::GetVerticalPositionValue()
{
    eHD_GetMode(modeHandle_, &modeRecord_);
    return modeRecord_.verticalBackPorchTenths / 10.0;
}

void COrvaneCard::SetVerticalPositionValue(double value)
{
    SetModeValue(kVerticalBackPorch, value);
}

long COrvaneCard::GetPixelClockValue()
{
    eHD_GetMode(modeHandle_, &modeRecord_);
    return modeRecord_.horizontalFrequency;
}

void COrvaneCard::SetPixelClockValue(long value)
{
    SetModeValue(kHorizontalFrequency, static_cast<double>(value));
}

long COrvaneCard::GetBoardParameter(const char* name, int site)
{
    ParameterBlock block{0, &modeRecord_};
    if (ReportStatus(eHD_GetParameter(boardIndex_, name, sizeof block, &block), site) != 0) {
        return 0;
    }
    return static_cast<long>(block.value & 0xFFu);
}

void COrvaneCard::SetBoardParameter(const char* name, long value, int site)
{
    // The board takes one byte: only the low eight bits of the value reach it.
    ParameterBlock block{static_cast<DWORD>(value) & 0xFFu, &modeRecord_};
    ReportStatus(eHD_SetParameter(boardIndex_, name, sizeof block, &block), site);
}

long COrvaneCard::GetBrightnessValue() { return GetBoardParameter("Brightness", 933); }
void COrvaneCard::SetBrightnessValue(long value) { SetBoardParameter("Brightness", value, 946); }
long COrvaneCard::GetContrastValue() { return GetBoardParameter("Contrast", 959); }
void COrvaneCard::SetContrastValue(long value) { SetBoardParameter("Contrast", value, 972); }
long COrvaneCard::GetHueValue() { return GetBoardParameter("Hue", 985); }
void COrvaneCard::SetHueValue(long value) { SetBoardParameter("Hue", value, 998); }
long COrvaneCard::GetSaturationValue() { return GetBoardParameter("Saturation", 1011); }
void COrvaneCard::SetSaturationValue(long value) { SetBoardParameter("Saturation", value, 1024); }
