#include "tools/ctl/CtlReport.h"

#include <nlohmann/json.hpp>

#include "tools/common/ComErrorText.h"

namespace orvane::ctl {

using host::Utf8;
using nlohmann::json;

ImageInfo ReadImageInfo(ICorvathImageProp& image, ICorvathBufferUsageProp& usage, const Controls& controls)
{
    ImageInfo info;
    LONG third = 0;
    LONG fourth = 0;
    if (FAILED(image.GetImageFormat(&info.width, &info.height, &third, &fourth))) {
        host::TakeErrorDescription();
    }
    image.GetBitsPerPixel(&info.bitsPerPixel);
    image.GetSignificantBits(&info.significantBits);
    image.GetImageFormatCode(&info.formatCode);
    image.GetImageSize(&info.imageBytes);
    usage.GetReadyCount(&info.ready);
    usage.GetMaxReadyCount(&info.maxReady);
    usage.GetTotalBufferCount(&info.total);
    Control format;
    std::string ignored;
    if (controls.Find("Image Format", format, ignored)) {
        info.format = controls.ValueText(format);
    }
    return info;
}

void PrintInfo(std::FILE* out, const ImageInfo& info, const host::RememberedSettings& remembered)
{
    std::fprintf(out, "Image:\n");
    std::fprintf(out, "  geometry         %ld x %ld\n", static_cast<long>(info.width), static_cast<long>(info.height));
    if (!info.format.empty()) {
        std::fprintf(out, "  format           %s\n", info.format.c_str());
    }
    std::fprintf(out, "  bits per pixel   %ld (%ld significant)\n", static_cast<long>(info.bitsPerPixel), static_cast<long>(info.significantBits));
    std::fprintf(out, "  format code      %ld\n", static_cast<long>(info.formatCode));
    std::fprintf(out, "  image size       %ld bytes\n", static_cast<long>(info.imageBytes));
    std::fprintf(out, "Buffers:\n");
    std::fprintf(out, "  ready %ld, most ready %ld, total %ld\n", static_cast<long>(info.ready), static_cast<long>(info.maxReady),
                 static_cast<long>(info.total));
    std::fprintf(out, "Settings ");
    remembered.Print(out, "");
}

std::string ControlsJson(const Controls* list, const ImageInfo* info, const host::RememberedSettings* remembered,
                         const std::string* profile)
{
    json result = json::object();
    if (list != nullptr) {
        json settings = json::array();
        for (const SettingEntry& entry : list->Settings()) {
            json options = json::array();
            for (const SettingChoice& choice : entry.choices) {
                options.push_back({{"value", choice.value}, {"label", Utf8(choice.label)}});
            }
            const Control control{&entry, nullptr};
            const auto value = list->NumericValue(control);
            settings.push_back({{"id", entry.id},
                                {"name", Utf8(entry.name)},
                                {"value", value ? json(static_cast<LONG>(*value)) : json()},
                                {"value_text", Utf8(list->ValueText(control))},
                                {"options", options}});
        }
        json adjustments = json::array();
        for (const AdjustmentEntry& entry : list->Adjustments()) {
            const auto value = list->NumericValue(Control{nullptr, &entry});
            json item = {{"id", entry.id}, {"name", Utf8(entry.name)}, {"type", entry.isLong ? "integer" : "double"}};
            if (entry.isLong) {
                item["min"] = entry.longMin;
                item["max"] = entry.longMax;
                item["value"] = value ? json(static_cast<LONG>(*value)) : json();
            } else {
                item["min"] = entry.doubleMin;
                item["max"] = entry.doubleMax;
                item["value"] = value ? json(*value) : json();
            }
            adjustments.push_back(item);
        }
        result["settings"] = settings;
        result["adjustments"] = adjustments;
    }
    if (info != nullptr) {
        result["image"] = {{"width", info->width},
                           {"height", info->height},
                           {"format", Utf8(info->format)},
                           {"bits_per_pixel", info->bitsPerPixel},
                           {"significant_bits", info->significantBits},
                           {"format_code", info->formatCode},
                           {"bytes", info->imageBytes}};
        result["buffers"] = {{"ready", info->ready}, {"max_ready", info->maxReady}, {"total", info->total}};
    }
    if (remembered != nullptr) {
        json values = json::array();
        for (const host::RememberedValue& value : remembered->Read()) {
            values.push_back({{"name", value.name}, {"value", Utf8(value.text)}, {"given_now", value.givenNow}, {"meaning", value.meaning}});
        }
        result["remembered"] = values;
        result["registry_path"] = Utf8(host::Narrow(remembered->RegistryPath()));
    }
    if (profile != nullptr) {
        result["profile"] = Utf8(*profile);
    }
    return result.dump(2, ' ', false, json::error_handler_t::replace);
}

}  // namespace orvane::ctl
