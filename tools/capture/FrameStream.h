#pragma once
// --stream-to FILE|-: every frame's pixels, as the module delivers them, written one after the
// other as they arrive (no header, no padding), to a file or to standard output, which is then
// switched to binary and carries nothing else.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvane::capture {

class FrameStream {
public:
    // "-" is standard output. Failed() tells whether the target could be opened.
    explicit FrameStream(const std::string& target);
    ~FrameStream();
    FrameStream(const FrameStream&) = delete;
    FrameStream& operator=(const FrameStream&) = delete;

    // Writes one frame; after the first failure (a full disk, a reader that went away) nothing
    // more is written and Failed() is true.
    void Write(const void* pixels, std::size_t bytes);

    bool Failed() const { return failed_; }
    const std::string& Error() const { return error_; }
    bool ToStandardOutput() const { return toStandardOutput_; }
    std::uint64_t Frames() const { return frames_; }
    const std::string& Target() const { return target_; }

private:
    std::string target_;
    bool toStandardOutput_ = false;
    HANDLE file_ = INVALID_HANDLE_VALUE;  // owned unless it is standard output
    bool failed_ = false;
    std::string error_;
    std::uint64_t frames_ = 0;
};

}  // namespace orvane::capture
