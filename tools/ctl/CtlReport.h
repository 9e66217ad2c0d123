#pragma once
// What orvane-ctl shows with --list and --info, as text or (--json) as one JSON object: the
// controls, the image and buffer figures and the remembered settings.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "CorvathSdk.h"
#include "tools/common/RememberedSettings.h"
#include "tools/ctl/Controls.h"

namespace orvane::ctl {

struct ImageInfo {
    LONG width = 0;
    LONG height = 0;
    LONG bitsPerPixel = 0;
    LONG significantBits = 0;
    LONG formatCode = 0;
    LONG imageBytes = 0;
    LONG ready = 0;
    LONG maxReady = 0;
    LONG total = 0;
    std::string format;  // "6 (BGR 32)"; empty without an "Image Format" setting
};

ImageInfo ReadImageInfo(ICorvathImageProp& image, ICorvathBufferUsageProp& usage, const Controls& controls);

void PrintInfo(std::FILE* out, const ImageInfo& info, const host::RememberedSettings& remembered);

// The parts asked for, as one object: "settings" and "adjustments" (list), "image", "buffers" and
// "remembered" (info), "profile" (the configuration file shown).
std::string ControlsJson(const Controls* list, const ImageInfo* info, const host::RememberedSettings* remembered,
                         const std::string* profile);

}  // namespace orvane::ctl
