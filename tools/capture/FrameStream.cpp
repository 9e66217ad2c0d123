#include "tools/capture/FrameStream.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "tools/common/ComErrorText.h"

namespace orvane::capture {

FrameStream::FrameStream(const std::string& target) : target_(target), toStandardOutput_(target == "-")
{
    if (toStandardOutput_) {
        // Whatever C runtime text mode would do to the bytes, and anything still buffered, is
        // settled before the frames go straight to the handle.
        std::fflush(stdout);
        _setmode(_fileno(stdout), _O_BINARY);
        file_ = GetStdHandle(STD_OUTPUT_HANDLE);
    } else {
        file_ = CreateFileA(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (file_ == INVALID_HANDLE_VALUE || file_ == nullptr) {
        failed_ = true;
        error_ = "cannot open " + (toStandardOutput_ ? std::string("standard output") : target) + " for the frames: " +
                 host::DescribeFailure(HRESULT_FROM_WIN32(GetLastError()));
        file_ = INVALID_HANDLE_VALUE;
    }
}

FrameStream::~FrameStream()
{
    if (!toStandardOutput_ && file_ != INVALID_HANDLE_VALUE) {
        CloseHandle(file_);
    }
}

void FrameStream::Write(const void* pixels, std::size_t bytes)
{
    if (failed_) {
        return;
    }
    const BYTE* next = static_cast<const BYTE*>(pixels);
    while (bytes > 0) {
        const DWORD chunk = static_cast<DWORD>(bytes < (1u << 30) ? bytes : (1u << 30));
        DWORD written = 0;
        if (!WriteFile(file_, next, chunk, &written, nullptr) || written == 0) {
            failed_ = true;
            error_ = "cannot write frame " + std::to_string(frames_) + " to " + (toStandardOutput_ ? "standard output" : target_) +
                     ": " + host::DescribeFailure(HRESULT_FROM_WIN32(GetLastError()));
            return;
        }
        next += written;
        bytes -= written;
    }
    ++frames_;
}

}  // namespace orvane::capture
