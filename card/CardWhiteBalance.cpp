// The automatic white balance: the board measures and applies balanced colour registers, the user
// sees the result and decides; a kept result becomes this board's calibration in the CHP file, a
// refused one is undone on the board.
#include "adjustments/ColourCalibration.h"
#include "card/OrvaneCard.h"
#include "platform/Diagnostics.h"

using orvane::Trace;

void COrvaneCard::AutoWhiteBalance()
{
    WhiteBalanceRecord record{};
    if (ReportStatus(eHD_TestWhiteBalance(modeHandle_, &modeRecord_, &record), 1170) != 0) {
        Trace("Auto White Balance - Error in eHD_TestWhiteBalance()");
        return;
    }
    record.command = 0;
    if (ReportStatus(eHD_SetWhiteBalance(modeHandle_, &modeRecord_, &record), 1178) != 0) {
        Trace("Auto White Balance - Error in eHD_SetWhiteBalance()");
        return;
    }
    // Applied, so that the user judges the new colours on the live picture.
    eHD_SetMode(modeHandle_, &modeRecord_, OHD_APPLY_FULL);

    // Unattended, nobody is there to ask: the host pressed the button to get a calibration, so it
    // is kept, as a user would who asked for it and had no means to judge it.
    int answer = IDYES;
    if (Unattended()) {
        Trace("Auto White Balance - unattended: the changes are kept");
    } else {
        answer = MessageBoxA(nullptr, "Do you want to keep the changes?", "Orvane", MB_ICONQUESTION | MB_YESNO);
    }
    if (answer == IDYES) {
        SaveColorCalibration(record, GetConfigurationFilePath());
        return;
    }
    record.command = 1;
    if (ReportStatus(eHD_SetWhiteBalance(modeHandle_, &modeRecord_, &record), 1193) != 0) {
        Trace("Can not restore the original calibration.");
        return;
    }
    eHD_SetMode(modeHandle_, &modeRecord_, OHD_APPLY_FULL);
}

bool COrvaneCard::SaveColorCalibration(WhiteBalanceRecord record, const char* file)
{
    // No file applied yet: an empty path would send the writes to a file of the platform's choosing.
    if (file != nullptr && file[0] == '\0') {
        file = nullptr;
    }
    return orvane::SaveColourCalibration(record, SerialNumber(), file);
}
