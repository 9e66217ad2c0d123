// The card's lifecycle: opening the board and applying the remembered CHP file, the pixel blocks
// and their images, the image queries, and closing the board again.
#include "card/OrvaneCard.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

#include "platform/MessageException.h"
#include "buffers/OrvaneImage.h"
#include "card/ModuleKeyValues.h"
#include "config/ImageFormatTable.h"
#include "platform/Diagnostics.h"

using orvane::RaiseMessage;
using orvane::Trace;

namespace {

constexpr size_t kConfigurationPathSize = 260;

}  // namespace

COrvaneCard::COrvaneCard(BSTR registryPath)
{
    SetNames(registryPath, L"Orvane");

    const orvane::ModuleKeyValues values = orvane::ReadModuleKeyValues(ModuleKey());
    SetUnattended(values.unattended, values.keyText + ", \"Board File\"");
    if (values.boardSerialNotText) {
        std::string message = "Orvane - \"Board Serial\" under " + values.keyText + " is not a text value";
        Trace(message.c_str());
        orvane::RaiseComposedMessage(std::move(message));
    }
    if (!InitBoard(values.boardSerial)) {
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
            haveFile = orvane::ReadBoardFile(key, boardFile);
            RegCloseKey(key);
        }
        LoadConfigFile(haveFile ? boardFile : nullptr);
        ResetReadPosition();
        RebuildSettings();
        LoadRegistrySettings();
    } catch (...) {
        CloseBoard();
        FreePixelBuffers(BufferCount());
        throw;
    }
}

COrvaneCard::~COrvaneCard()
{
    // No thread of the card may outlive it, even when the host destroys it while still grabbing.
    running_ = false;
    JoinCaptureThread(INFINITE);
    // Nor may the board keep blocks that are freed below: a stream still open (the host did not
    // stop, or the board refused the last close) is stopped and closed first.
    {
        std::unique_lock<orvane::ReaderWriterLock> gate(streamGate_);
        if (streamOpen_) {
            ReportStatus(eHD_LiveStreamMode(modeHandle_, OHD_STREAM_STOP), 343);
            CloseStream("Orvane - the last stream is still open: eHD_LiveStreamClose() - ERROR");
        }
    }
    CloseBoard();
    FreePixelBuffers(BufferCount());
    configurationFilePath_.reset();
}

void COrvaneCard::AllocateBuffers(int count)
{
    const auto control = BeginStoppedCall(ControlCall::AllocateBuffers);
    if (count < 1) {
        return;
    }
    // ReleaseAll collects the descriptors of every image here without allocating on the way.
    releaseScratch_.reserve(static_cast<size_t>(ReadyListSize() + FreeListSize() + GrabListSize()) +
                            static_cast<size_t>(count));
    if (!AllocatePixelBuffers(count)) {
        RaiseMessage("Not Enough memory in board buffer list.");
    }
    const int first = BufferCount() - count;
    // Under the free-list lock throughout, so a grab thread sees none or all of the new images.
    auto appender = BeginFreeListAppend();
    for (int i = 0; i < count; ++i) {
        auto* image = new (std::nothrow) COrvaneImage(pixelBlocks_[first + i]);
        if (image == nullptr || !appender.Append(image)) {
            delete image;
            RaiseMessage("Not Enough memory");
        }
    }
}

bool COrvaneCard::AllocatePixelBuffers(int count)
{
    // The previous blocks go only when no image points into them any more. A host that allocates
    // again without freeing first keeps its earlier images, and the board would otherwise write
    // their frames into freed memory; the new blocks are added after theirs instead.
    if (ReadyListSize() + FreeListSize() + GrabListSize() == 0) {
        FreePixelBuffers(BufferCount());
    }
    // Blocks are always four bytes a pixel, whatever the format, so a format change needs no new
    // blocks.
    const size_t bytes = static_cast<size_t>(imageSizeX_) * static_cast<size_t>(imageSizeY_) * 4;
    if (!pixelBlocks_.Add(count, bytes)) {
        Trace("Buffer list : Allocation Error");
        return false;
    }
    return true;
}

void COrvaneCard::FreePixelBuffers(int /*count*/)
{
    pixelBlocks_.FreeAll();
}

LONG COrvaneCard::SetRegistryString(const char* text, const char* valueName)
{
    return CTripleList::SetRegistryString(text, valueName);
}

void COrvaneCard::ReallocateBuffers()
{
    const auto control = BeginStoppedCall(ControlCall::ReallocateBuffers);
    // An image a late GrabNext queued after the stop is one of the host's images like the others.
    ReturnQueuedImages();
    const int count = GetBufferCount();
    // With no image left this frees the blocks too, so that even a count of 0 leaves no block
    // sized for the earlier image behind.
    FreeBuffers();
    AllocateBuffers(count);
}

void COrvaneCard::FreeBuffers()
{
    const auto control = BeginStoppedCall(ControlCall::FreeBuffers);
    ReturnQueuedImages();
    CTripleList::FreeBuffers();
    // Nothing points into the blocks any more: they go now rather than at the next allocation, so
    // that no stream can be opened over blocks sized for an earlier image.
    if (ReadyListSize() + FreeListSize() + GrabListSize() == 0) {
        FreePixelBuffers(BufferCount());
    }
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
