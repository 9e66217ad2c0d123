#pragma once
// The colour calibration an automatic white balance leaves in the CHP file: six differences between
// the two register sets the board library reports, in the section of this particular board.
#include <string>

#include "interfaces/BoardLibrary.h"

namespace orvane {

// "O-RGB Calibration " followed by the whole serial number, the section the board library reads
// the calibration of that board from.
std::string CalibrationSection(const char* serial);

// Logs the original red gain register and writes the six differences (second set minus first set)
// into the board's section of `file`; false without writing anything when `file` is null. The
// results of the single writes are not examined.
bool SaveColourCalibration(const WhiteBalanceRecord& record, const char* serial, const char* file);

}  // namespace orvane
