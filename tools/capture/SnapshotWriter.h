#pragma once
// Writes the saved frames' pictures on a thread of its own. Encoding a PNG of a large frame takes
// tens of milliseconds; done on the read thread it would hold up the frames behind it and show in
// the latencies the tool measures. One picture is in hand at a time: handing over the next waits
// only while the previous one is still being written.
#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "platform/OwnedHandle.h"
#include "tools/capture/ViewableImage.h"

namespace orvane::capture {

class SnapshotWriter {
public:
    SnapshotWriter();
    ~SnapshotWriter();
    SnapshotWriter(const SnapshotWriter&) = delete;
    SnapshotWriter& operator=(const SnapshotWriter&) = delete;

    // Takes `image` to be saved at `path`; `image` gets back a buffer of an earlier picture to
    // fill next, so large frames are not allocated again and again.
    void Write(std::string path, ViewableImage& image);

    // Waits until the picture in hand is written and ends the thread; later pictures are not
    // taken. Safe to call more than once.
    void Finish();

    // Read after Finish.
    const std::vector<std::string>& Saved() const { return saved_; }
    const std::vector<std::string>& Problems() const { return problems_; }

private:
    static DWORD WINAPI Entry(LPVOID self);
    void Run();
    void Save(const std::string& path, const ViewableImage& image);

    std::mutex mutex_;
    std::condition_variable changed_;
    bool pending_ = false;  // image_ waits for the thread, or is being written
    bool stopping_ = false;
    std::string path_;
    ViewableImage image_;
    std::vector<std::string> saved_;
    std::vector<std::string> problems_;
    UniqueKernelHandle thread_;  // set once, before any other thread can call in
};

}  // namespace orvane::capture
