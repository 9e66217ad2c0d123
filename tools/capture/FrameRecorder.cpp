#include "tools/capture/FrameRecorder.h"

#include <cstdio>
#include <cstring>

#include "tools/capture/Timecode.h"

namespace orvane::capture {

namespace {

// Records made room for at the start: an hour of 60 Hz. A frame count asked for that is larger
// (up to 2^64) must not make the tool ask for all of its memory at once.
constexpr size_t kReservedRecords = 60 * 60 * 60;

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
                             const host::BoardControl& board, FrameOutputs outputs)
    : layout_(layout), board_(board), saveEvery_(saveEvery), outDir_(std::move(outDir)), outputs_(outputs)
{
    rowBytes_ = static_cast<size_t>(layout_.width) * static_cast<size_t>(layout_.bitsPerPixel) / 8;
    frames_.reserve(expectedFrames < kReservedRecords ? expectedFrames : kReservedRecords);
    // The pixels are read as the type lays them out, so the size the module reports must agree.
    if (saveEvery_ > 0 && (!CanConvert(layout_.formatType) || BitsPerPixelOf(layout_.formatType) != layout_.bitsPerPixel)) {
        problems_.push_back("frames of image format type " + std::to_string(layout_.formatType) + " with " + std::to_string(layout_.bitsPerPixel) +
                            " bits per pixel cannot be shown; no images written");
        saveEvery_ = 0;
    }
    if (saveEvery_ > 0) {
        snapshots_ = std::make_unique<SnapshotWriter>();
    }
}

void FrameRecorder::FinishImages()
{
    if (snapshots_) {
        snapshots_->Finish();
        saved_ = snapshots_->Saved();
        imageFailures_ = snapshots_->Problems();
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
        Keep(record);
        return;
    }
    if (outputs_.stream != nullptr) {
        outputs_.stream->Write(pixels, outputs_.frameBytes);
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
        std::snprintf(name, sizeof name, "frame-%06llu.png", static_cast<unsigned long long>(record.index));
        // Converted here, while the pixels are ours; encoded and written by the snapshot thread.
        ConvertFrame(pixels, {layout_.formatType, layout_.width, layout_.height}, image_);
        snapshots_->Write(outDir_ + "\\" + name, image_);
    }
    Keep(record);
}

void FrameRecorder::Keep(const FrameRecord& record)
{
    if (outputs_.csv != nullptr) {
        outputs_.csv->Append(record);
    }
    frames_.push_back(record);
}

}  // namespace orvane::capture
