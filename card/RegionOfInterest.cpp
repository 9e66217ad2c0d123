// Changing the image size: the request is brought within what the mode's timings allow, written
// into the CHP file and applied; a size the board refuses is taken back in the file and the card.
#include <mutex>

#include "card/OrvaneCard.h"
#include "platform/Diagnostics.h"

using orvane::Trace;

namespace {

int32_t RoundUpToFour(int32_t value)
{
    return value % 4 == 0 ? value : (value / 4) * 4 + 4;
}

}  // namespace

bool COrvaneCard::SetROI(int32_t width, int32_t height, int32_t xOffset, int32_t yOffset)
{
    // A new size means new pixel blocks and a new mode: never under a running stream.
    const auto control = BeginStoppedCall(ControlCall::SetROI);
    width = RoundUpToFour(width);
    xOffset = RoundUpToFour(xOffset);

    const int32_t maxWidth = modeRecord_.horizontalTotal - modeRecord_.horizontalBackSync;
    const int32_t maxHeight = modeRecord_.verticalTotal - modeRecord_.verticalBackPorchTenths / 10;

    if (xOffset < 0) {
        xOffset = 0;
    }
    if (xOffset >= maxWidth - 4) {
        xOffset = maxWidth - 4;
    }
    if (width < 4) {
        width = 4;
    }
    if (width > maxWidth) {
        width = maxWidth;
    }
    if (width + xOffset > maxWidth) {
        width = maxWidth - xOffset;
    }
    if (yOffset < 0) {
        yOffset = 0;
    }
    if (yOffset >= maxHeight - 1) {
        yOffset = maxHeight - 1;
    }
    if (height < 1) {
        height = 1;
    }
    if (height > maxHeight) {
        height = maxHeight;
    }
    if (height + yOffset > maxHeight) {
        height = maxHeight - yOffset;
    }

    const int32_t previousX = imageSizeX_;
    const int32_t previousY = imageSizeY_;
    const char* file = GetConfigurationFilePath();
    if (WriteImageSize(width, height, file)) {
        if (ConfigureBoard(file)) {
            imageSizeX_ = width;
            imageSizeY_ = height;
        } else {
            Trace("SetROI() : Cannot configure the board with these values");
            WriteImageSize(previousX, previousY, file);
            if (!ConfigureBoard(file)) {
                Trace("SetROI : Error unexpected");
            }
            imageSizeX_ = previousX;
            imageSizeY_ = previousY;
        }
        ReallocateBuffers();
    }
    if (imageSizeX_ != width || imageSizeY_ != height) {
        WriteImageSize(imageSizeX_, imageSizeY_, file);
        return false;
    }
    return true;
}
