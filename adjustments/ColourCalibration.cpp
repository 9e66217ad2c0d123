#include "adjustments/ColourCalibration.h"

#include <cstdio>

#include "config/ConfigurationFile.h"
#include "platform/Diagnostics.h"

namespace orvane {

namespace {

constexpr const char* kCalibrationKeys[6] = {"RED_GAIN_CALIB",   "GREEN_GAIN_CALIB",   "BLUE_GAIN_CALIB",
                                             "RED_OFFSET_CALIB", "GREEN_OFFSET_CALIB", "BLUE_OFFSET_CALIB"};

}  // namespace

std::string CalibrationSection(const char* serial)
{
    // Built to the serial's length: a fixed buffer would cut a long serial, and the calibration
    // would land in a section the library never reads for this board.
    return std::string("O-RGB Calibration ") + (serial != nullptr ? serial : "");
}

bool SaveColourCalibration(const WhiteBalanceRecord& record, const char* serial, const char* file)
{
    if (file == nullptr) {
        return false;
    }
    TraceFormat("byOrigRedGainReg = %d", record.origRedGain);
    const std::string section = CalibrationSection(serial);
    for (int i = 0; i < 6; ++i) {
        const int difference = static_cast<int>(record.secondSet[i]) - static_cast<int>(record.firstSet[i]);
        char text[8];  // -255 .. 255
        std::snprintf(text, sizeof text, "%d", difference);
        CConfigurationFile::WriteProfileValue(section.c_str(), kCalibrationKeys[i], text, file);
    }
    return true;
}

}  // namespace orvane
