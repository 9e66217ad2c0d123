// The card's lifecycle: opening the board and applying the remembered CHP file, the pixel blocks
// and their images, the image queries, and closing the board again.
#include "card/OrvaneCard.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "platform/MessageException.h"
#include "buffers/OrvaneImage.h"
#include "config/ImageFormatTable.h"
#include "platform/Diagnostics.h"

using orvane::RaiseMessage;
using orvane::Trace;

namespace {

constexpr size_t kConfigurationPathSize = 260;

// Reads the remembered CHP path; false when the value is missing, not a string, too long or
// not terminated within its 260 bytes.
bool ReadBoardFile(HKEY key, char (&path)[kConfigurationPathSize])
{
    DWORD type = 0;
    DWORD size = sizeof path;
    std::memset(path, 0, sizeof path);
    if (RegQueryValueExA(key, "Board File", nullptr, &type, reinterpret_cast<BYTE*>(path), &size) != ERROR_SUCCESS) {
        return false;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        return false;
    }
    if (size == 0 || std::memchr(path, '\0', size) == nullptr) {
        return false;
    }
    return true;
}

}  // namespace

COrvaneCard::COrvaneCard(BSTR registryPath)
{
    SetNames(registryPath, L"Orvane");

    if (!InitBoard()) {
        RaiseMessage("Orvane - Board Initialization FAILED...");
    }

    // A failure past this point would leave the board open with no card to close it, and the
    // next attempt could not open it again: close it before the exception leaves.
    try {
        HKEY key = nullptr;
        char boardFile[kConfigurationPathSize];
        bool haveFile = false;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, ModuleKey().c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key,
                            nullptr) == ERROR_SUCCESS) {
            haveFile = ReadBoardFile(key, boardFile);
            RegCloseKey(key);
        }
        LoadConfigFile(haveFile ? boardFile : nullptr);
        ResetReadPosition();
        RebuildSettings();
        LoadRegistrySettings();
    } catch (...) {
        CloseBoard();
        FreePixelBuffers(bufferCount_);
        throw;
    }
}

COrvaneCard::~COrvaneCard()
{
    CloseBoard();
    FreePixelBuffers(bufferCount_);
    configurationFilePath_.reset();
}

void COrvaneCard::AllocateBuffers(int count)
{
    if (count < 1) {
        return;
    }
    if (!AllocatePixelBuffers(count)) {
        RaiseMessage("Not Enough memory in board buffer list.");
    }
    // Under the free-list lock throughout, so a grab thread sees none or all of the new images.
    auto appender = BeginFreeListAppend();
    for (int i = 0; i < count; ++i) {
        auto* image = new (std::nothrow) COrvaneImage(pixelBuffers_[i]);
        if (image == nullptr || !appender.Append(image)) {
            delete image;
            RaiseMessage("Not Enough memory");
        }
    }
}

bool COrvaneCard::AllocatePixelBuffers(int count)
{
    FreePixelBuffers(bufferCount_);
    bufferCount_ = count;
    pixelBuffers_ = std::make_unique<void*[]>(static_cast<size_t>(count));
    // Blocks are always four bytes a pixel, whatever the format, so a format change needs no new
    // blocks. Page-aligned and committed up front: the board writes into them while grabbing.
    const SIZE_T bytes = static_cast<SIZE_T>(imageSizeX_) * static_cast<SIZE_T>(imageSizeY_) * 4;
    for (int i = 0; i < count; ++i) {
        pixelBuffers_[i] = bytes == 0 ? nullptr : VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (pixelBuffers_[i] == nullptr) {
            Trace("Buffer list : Allocation Error");
            return false;
        }
    }
    return true;
}

void COrvaneCard::FreePixelBuffers(int count)
{
    if (!pixelBuffers_) {
        return;
    }
    for (int i = 0; i < count; ++i) {
        if (pixelBuffers_[i] != nullptr) {
            VirtualFree(pixelBuffers_[i], 0, MEM_RELEASE);
        }
    }
    pixelBuffers_.reset();
}

LONG COrvaneCard::SetRegistryString(const char* text, const char* valueName)
{
    return CTripleList::SetRegistryString(text, valueName);
}

void COrvaneCard::ReallocateBuffers()
{
    const int count = GetBufferCount();
    FreeBuffers();
    AllocateBuffers(count);
}

void COrvaneCard::GetImageFormat(long* width, long* height, long* third, long* fourth) const
{
    *width = imageSizeX_;
    *height = imageSizeY_;
    *third = furtherWords_[0];
    *fourth = furtherWords_[1];
}

int COrvaneCard::GetImageSize()
{
    imageSize_ = static_cast<int32_t>(static_cast<int64_t>(imageSizeX_) * imageSizeY_ * GetBitsPerPixel() / 8);
    return imageSize_;
}

int COrvaneCard::GetBitsPerPixel() const
{
    return orvane::ImageFormatOf(imageFormatType_).bitsPerPixel;
}

int COrvaneCard::GetSignificantBits() const
{
    return orvane::ImageFormatOf(imageFormatType_).significantBits;
}

int COrvaneCard::GetImageFormatCode() const
{
    return orvane::ImageFormatOf(imageFormatType_).hostFormatCode;
}
