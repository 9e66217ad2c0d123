#pragma once
// The capture tool's view of each frame: it notes the time stamp, the board's fill time and
// frame number and a checksum of a few lines, and saves selected frames as PNG files.
#include <memory>
#include <string>
#include <vector>

#include "tools/capture/CsvWriter.h"
#include "tools/capture/FrameRecord.h"
#include "tools/capture/FrameStream.h"
#include "tools/capture/SnapshotWriter.h"
#include "tools/capture/ViewableImage.h"
#include "tools/common/BoardControl.h"
#include "tools/common/GrabberSession.h"

namespace orvane::capture {

struct FrameLayout {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    int formatType = -1;  // image format type; -1 when unknown, and then no frame can be saved
};

// Where each frame goes besides the record kept for the summary; either may be null. Both must
// outlive the recorder's frames.
struct FrameOutputs {
    CsvWriter* csv = nullptr;       // one row per frame, as it arrives
    FrameStream* stream = nullptr;  // the pixels, `frameBytes` of them per frame
    size_t frameBytes = 0;
};

class FrameRecorder : public host::FrameSink {
public:
    // saveEvery 0 saves nothing; images go to `outDir` as frame-NNNNNN.png, written by a thread
    // of their own. Fill times come from `board`, which must outlive the recorder. Room for
    // `expectedFrames` records is made at once (up to a bound: a very long run grows as it goes).
    FrameRecorder(const FrameLayout& layout, int saveEvery, std::string outDir, size_t expectedFrames,
                  const host::BoardControl& board, FrameOutputs outputs = {});

    void OnFrame(const ImageHeader& header, LONGLONG deliveredQpc) override;

    // After the session has stopped: waits for the last image to be written.
    void FinishImages();

    // Read after FinishImages.
    const std::vector<FrameRecord>& Frames() const { return frames_; }
    const std::vector<std::string>& SavedImages() const { return saved_; }
    // Notes on what could not be done at all (a format that cannot be shown).
    const std::vector<std::string>& Problems() const { return problems_; }
    // Images that could not be written.
    const std::vector<std::string>& ImageFailures() const { return imageFailures_; }
    std::uint64_t NullPixelFrames() const { return nullPixels_; }

private:
    void Keep(const FrameRecord& record);

    FrameLayout layout_;
    ViewableImage image_;  // the picture being filled; trades buffers with the snapshot writer
    const host::BoardControl& board_;
    size_t rowBytes_ = 0;
    int saveEvery_;
    std::string outDir_;
    FrameOutputs outputs_;
    std::vector<FrameRecord> frames_;
    std::vector<std::string> saved_;
    std::vector<std::string> problems_;
    std::vector<std::string> imageFailures_;
    std::uint64_t nullPixels_ = 0;
    std::unique_ptr<SnapshotWriter> snapshots_;  // last: its thread ends before the rest goes
};

}  // namespace orvane::capture
