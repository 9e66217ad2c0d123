// The board's pixel mode in the CHP file ("PixelMode" in section "O-RGB"), which the image format
// decides: "MONO" for the two 16-bit monochrome formats, "RGB" for every other.
#include <cstring>

#include "config/ConfigurationFile.h"
#include "config/ImageFormatTable.h"

bool CConfigurationFile::SelectPixelMode(std::int32_t formatType)
{
    const char* file = configurationFilePath_.get();
    // Seven characters at most: a longer value is cut, and so never equals a wanted mode.
    char current[8] = {};
    GetPrivateProfileStringA("O-RGB", "PixelMode", "", current, sizeof current, file);
    const char* wanted = orvane::ImageFormatOf(formatType).pixelMode;
    if (std::strcmp(current, wanted) == 0) {
        return false;
    }
    WriteProfileValue("O-RGB", "PixelMode", wanted, file);
    ConfigureBoard(file);
    return true;
}
