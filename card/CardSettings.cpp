// The card's settings: the "Image Format" setting with the format table's choices, selecting a
// format, and the region and format saved under the module key, applied when the card opens.
#include <windows.h>

#include <mutex>
#include <string>

#include "card/OrvaneCard.h"
#include "config/ImageFormatTable.h"
#include "platform/Diagnostics.h"
#include "platform/MessageException.h"
#include "platform/RegistryKey.h"
#include "platform/UniqueBstr.h"

namespace {

constexpr std::int32_t kImageFormatSettingId = 10;

// A 32-bit integer value; false when it is missing or of another type or size.
bool ReadDword(HKEY key, const char* name, std::int32_t& value)
{
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof data;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof data) {
        return false;
    }
    value = static_cast<std::int32_t>(data);
    return true;
}

}  // namespace

void COrvaneCard::RebuildSettings()
{
    ClearSettings();
    AddSetting(L"Image Format", kImageFormatSettingId, static_cast<CImageFormatSetting*>(this));
    const orvane::ImageFormat* formats = orvane::ListedImageFormats();
    for (int i = 0; i < orvane::kListedImageFormatCount; ++i) {
        const orvane::UniqueBstr label = orvane::UniqueBstr::FromAnsi(formats[i].name);
        AddSettingOption(kImageFormatSettingId, label.Get(), formats[i].type);
    }
    // The adjustments depend on the board's mode as the settings leave it: rebuilt with them.
    InitAdjustments();
}

std::int32_t COrvaneCard::GetFormatType()
{
    return imageFormatType_;
}

void COrvaneCard::SetFormatType(std::int32_t type)
{
    // A new format may need a new pixel mode and new blocks: never under a running stream.
    const auto control = BeginStoppedCall(ControlCall::ImageFormat);
    // A type the board cannot stream would be accepted here and refused by the board at the next
    // start, without a frame and without a word: refused where it is set.
    if (!orvane::IsImageFormatType(type)) {
        orvane::RaiseComposedMessage("Image Format : " + std::to_string(type) + " is not an image format type (0 to 9).");
    }
    imageFormatType_ = type;
    SelectPixelMode(type);
    ReallocateBuffers();
    SetRegistryDword(static_cast<DWORD>(type), "ImageFormat");
}

void COrvaneCard::LoadRegistrySettings()
{
    // Without names the key would be HKEY_CURRENT_USER itself: nothing is saved there.
    if (ModuleKey().empty()) {
        return;
    }
    orvane::RegistryKey key;
    if (key.Create(HKEY_CURRENT_USER, ModuleKey().c_str(), KEY_READ | KEY_WRITE) != ERROR_SUCCESS) {
        return;
    }
    // The region applies only whole: all four values, each a 32-bit integer.
    static constexpr const char* kRegion[] = {"Image Size X", "Image Size Y", "Image Offset X", "Image Offset Y"};
    std::int32_t region[4] = {};
    int read = 0;
    while (read < 4 && ReadDword(key.Get(), kRegion[read], region[read])) {
        ++read;
    }
    if (read == 4) {
        SetROI(region[0], region[1], region[2], region[3]);
    }
    // Directly, not through the settings interface: the list needs no rebuild here.
    std::int32_t format = 0;
    if (ReadDword(key.Get(), "ImageFormat", format)) {
        if (orvane::IsImageFormatType(format)) {
            SetFormatType(format);
        } else {
            // Opening the card goes on with the format the profile gives; the value is left for
            // the user to see.
            orvane::TraceFormat("Orvane - \"ImageFormat\" %ld is not an image format type (0 to 9); ignored.",
                                static_cast<long>(format));
        }
    }
}
