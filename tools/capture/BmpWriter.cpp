#include "tools/capture/BmpWriter.h"

#include <vector>

#include "platform/OwnedHandle.h"

namespace orvane::capture {

bool CanWriteBmp(const FrameLayout& layout)
{
    return layout.width > 0 && layout.height > 0 &&
           (layout.bitsPerPixel == 32 || layout.bitsPerPixel == 24 || layout.bitsPerPixel == 8);
}

bool WriteBmp(const std::string& path, const BYTE* pixels, const FrameLayout& layout, std::string& error)
{
    if (!CanWriteBmp(layout)) {
        error = "frames of " + std::to_string(layout.bitsPerPixel) + " bits per pixel cannot be saved as BMP";
        return false;
    }
    const size_t width = static_cast<size_t>(layout.width);
    const size_t height = static_cast<size_t>(layout.height);
    const size_t sourceBytesPerPixel = static_cast<size_t>(layout.bitsPerPixel / 8);
    const size_t sourceRow = width * sourceBytesPerPixel;
    const size_t targetRow = (width * 3 + 3) & ~size_t{3};
    const size_t imageBytes = targetRow * height;

    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = static_cast<DWORD>(file.bfOffBits + imageBytes);
    info.biSize = sizeof info;
    info.biWidth = layout.width;
    info.biHeight = layout.height;  // positive: bottom-up
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(imageBytes);
    info.biXPelsPerMeter = 2835;
    info.biYPelsPerMeter = 2835;

    std::vector<BYTE> image(imageBytes, 0);
    for (size_t y = 0; y < height; ++y) {
        const BYTE* source = pixels + y * sourceRow;
        BYTE* target = image.data() + (height - 1 - y) * targetRow;
        for (size_t x = 0; x < width; ++x, source += sourceBytesPerPixel, target += 3) {
            if (sourceBytesPerPixel == 1) {
                target[0] = target[1] = target[2] = source[0];
            } else {
                target[0] = source[0];
                target[1] = source[1];
                target[2] = source[2];
            }
        }
    }

    const HANDLE created = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created == INVALID_HANDLE_VALUE) {
        error = "cannot create " + path + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    const orvane::UniqueKernelHandle handle(created);
    auto write = [&](const void* data, size_t size) {
        DWORD written = 0;
        return WriteFile(handle.Get(), data, static_cast<DWORD>(size), &written, nullptr) && written == size;
    };
    if (!write(&file, sizeof file) || !write(&info, sizeof info) || !write(image.data(), image.size())) {
        error = "cannot write " + path + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    return true;
}

}  // namespace orvane::capture
