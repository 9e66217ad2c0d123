#include "tools/capture/FrameRecorder.h"

#include <cstdio>
#include <cstring>

#include "tools/capture/Timecode.h"

namespace orvane::capture {

namespace {

// FNV-1a over a run of bytes.
std::uint32_t Fnv1a(std::uint32_t hash, const BYTE* data, size_t size)
{
    for (size_t i = 0; i < size; ++i) {
        hash = (hash ^ data[i]) * 16777619u;
    }
    return hash;
}

}  // namespace

FrameRecorder::FrameRecorder(const FrameLayout& layout, int saveEvery, std::string outDir, size_t expectedFrames,
                             const host::BoardControl& board)
    : layout_(layout), board_(board), saveEvery_(saveEvery), outDir_(std::move(outDir))
{
    rowBytes_ = static_cast<size_t>(layout_.width) * static_cast<size_t>(layout_.bitsPerPixel) / 8;
    frames_.reserve(expectedFrames);
    if (saveEvery_ > 0 && !CanWriteBmp(layout_)) {
        problems_.push_back("frames of " + std::to_string(layout_.bitsPerPixel) + " bits per pixel cannot be saved as BMP; no images written");
        saveEvery_ = 0;
    }
}

void FrameRecorder::OnFrame(const ImageHeader& header, LONGLONG deliveredQpc)
{
    FrameRecord record;
    record.index = frames_.size();
    record.seconds = header.seconds;
    record.milliseconds = header.milliseconds;
    record.microseconds = header.microseconds;
    record.deliveredQpc = deliveredQpc;
    const BYTE* pixels = static_cast<const BYTE*>(header.pixels);
    if (pixels == nullptr) {
        ++nullPixels_;
        frames_.push_back(record);
        return;
    }
    record.fillQpc = board_.FillTime(pixels);
    std::memcpy(record.timecode, pixels, sizeof record.timecode);
    record.timecodePresent = TimecodeText(record.timecode, nullptr);
    // The simulated board marks its frames "OHDF" with the frame number before it.
    const size_t frameBytes = rowBytes_ * static_cast<size_t>(layout_.height);
    if (frameBytes >= 12 && std::memcmp(pixels + 8, "OHDF", 4) == 0) {
        std::uint32_t number = 0;
        std::memcpy(&number, pixels + 4, sizeof number);
        record.boardFrame = number;
    }
    std::uint32_t hash = 2166136261u;
    if (layout_.height > 0) {
        for (int row : {layout_.height / 4, layout_.height / 2, layout_.height - 1}) {
            hash = Fnv1a(hash, pixels + static_cast<size_t>(row) * rowBytes_, rowBytes_);
        }
    }
    record.checksum = hash;

    if (saveEvery_ > 0 && record.index % static_cast<std::uint64_t>(saveEvery_) == 0) {
        char name[48];
        std::snprintf(name, sizeof name, "frame-%06llu.bmp", static_cast<unsigned long long>(record.index));
        const std::string path = outDir_ + "\\" + name;
        std::string error;
        if (WriteBmp(path, pixels, layout_, error)) {
            saved_.push_back(path);
        } else if (problems_.size() < 10) {
            problems_.push_back(error);
        }
    }
    frames_.push_back(record);
}

}  // namespace orvane::capture
