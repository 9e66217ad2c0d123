#pragma once
// The capture tool's view of each frame: it notes the time stamp, the board's fill time and
// frame number and a checksum of a few lines, and saves selected frames as PNG files.
#include <mutex>
#include <string>
#include <vector>

#include "tools/capture/FrameRecord.h"
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

class FrameRecorder : public host::FrameSink {
public:
    // saveEvery 0 saves nothing; images go to `outDir` as frame-NNNNNN.png. Fill times come from
    // `board`, which must outlive the recorder. The read thread must be in a COM apartment.
    FrameRecorder(const FrameLayout& layout, int saveEvery, std::string outDir, size_t expectedFrames,
                  const host::BoardControl& board);

    void OnFrame(const ImageHeader& header, LONGLONG deliveredQpc) override;

    // Read after the session has stopped.
    const std::vector<FrameRecord>& Frames() const { return frames_; }
    const std::vector<std::string>& SavedImages() const { return saved_; }
    const std::vector<std::string>& Problems() const { return problems_; }
    std::uint64_t NullPixelFrames() const { return nullPixels_; }

private:
    FrameLayout layout_;
    ViewableImage image_;  // reused from one saved frame to the next
    const host::BoardControl& board_;
    size_t rowBytes_ = 0;
    int saveEvery_;
    std::string outDir_;
    std::vector<FrameRecord> frames_;
    std::vector<std::string> saved_;
    std::vector<std::string> problems_;
    std::uint64_t nullPixels_ = 0;
};

}  // namespace orvane::capture
