#include "tools/capture/SnapshotWriter.h"

#include <utility>

#include "platform/ComApartment.h"
#include "tools/capture/PngWriter.h"

namespace orvane::capture {

SnapshotWriter::SnapshotWriter()
{
    thread_.Reset(CreateThread(nullptr, 0, &SnapshotWriter::Entry, this, 0, nullptr));
}

SnapshotWriter::~SnapshotWriter()
{
    Finish();
}

DWORD WINAPI SnapshotWriter::Entry(LPVOID self)
{
    static_cast<SnapshotWriter*>(self)->Run();
    return 0;
}

void SnapshotWriter::Save(const std::string& path, const ViewableImage& image)
{
    std::string error;
    const bool saved = WritePng(path, image, error);
    const std::lock_guard<std::mutex> lock(mutex_);
    if (saved) {
        saved_.push_back(path);
    } else if (problems_.size() < 10) {
        problems_.push_back(error);
    }
}

void SnapshotWriter::Write(std::string path, ViewableImage& image)
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (stopping_) {
        return;
    }
    if (!thread_) {  // no thread to be had: write here, as slow as that is
        lock.unlock();
        const ComApartment apartment(COINIT_MULTITHREADED);
        Save(path, image);
        return;
    }
    changed_.wait(lock, [this] { return !pending_ || stopping_; });
    if (stopping_) {
        return;
    }
    std::swap(image_, image);
    path_ = std::move(path);
    pending_ = true;
    changed_.notify_all();
}

void SnapshotWriter::Run()
{
    const ComApartment apartment(COINIT_MULTITHREADED);
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return pending_ || stopping_; });
        if (!pending_) {
            return;
        }
        // The picture and its path are ours until pending_ is cleared.
        lock.unlock();
        Save(path_, image_);
        lock.lock();
        pending_ = false;
        changed_.notify_all();
    }
}

void SnapshotWriter::Finish()
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_) {
        WaitForSingleObject(thread_.Get(), INFINITE);
    }
}

}  // namespace orvane::capture
