#include "config/ImageFormatTable.h"

namespace orvane {

namespace {

constexpr ImageFormat kFormats[] = {
    {"BGR 32", 6, 32, 8, 500, "RGB"},
    {"BGR 24", 9, 24, 8, 200, "RGB"},
    {"BGR 555", 7, 16, 16, 905, "RGB"},
    {"Mono 8", 0, 8, 8, 100, "RGB"},
    {"Mono 10", 1, 16, 10, 114, "RGB"},
    {"Mono 16", 2, 16, 16, 114, "MONO"},
    {"Y Only 8", 3, 8, 8, 100, "RGB"},
    {"Y Only 16", 4, 16, 16, 114, "MONO"},
    {"Full YCbCr 16", 5, 16, 16, 600, "RGB"},
    {nullptr, 8, 16, 16, 906, "RGB"},
};

constexpr ImageFormat kOtherType = {nullptr, -1, 32, 8, 500, "RGB"};

}  // namespace

const ImageFormat* ListedImageFormats()
{
    return kFormats;
}

const ImageFormat& ImageFormatOf(int type)
{
    for (const auto& format : kFormats) {
        if (format.type == type) {
            return format;
        }
    }
    return kOtherType;
}

bool IsImageFormatType(int type)
{
    return &ImageFormatOf(type) != &kOtherType;
}

}  // namespace orvane
