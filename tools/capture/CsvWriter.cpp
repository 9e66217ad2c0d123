#include "tools/capture/CsvWriter.h"

#include <cerrno>
#include <cinttypes>
#include <cstring>

#include "tools/capture/Timecode.h"

namespace orvane::capture {

std::string UnixTimeText(const FrameRecord& frame)
{
    const std::int64_t microseconds = static_cast<std::int64_t>(frame.milliseconds) * 1000 + frame.microseconds;
    // A header whose fields overflow their units (ms >= 1000) still gives one number.
    const std::int64_t total = static_cast<std::int64_t>(frame.seconds) * 1000000 + microseconds;
    char text[32];
    std::snprintf(text, sizeof text, "%s%" PRId64 ".%06" PRId64, total < 0 ? "-" : "", (total < 0 ? -total : total) / 1000000,
                  (total < 0 ? -total : total) % 1000000);
    return text;
}

CsvWriter::CsvWriter(std::string path, LONGLONG qpcFrequency) : path_(std::move(path)), qpcFrequency_(qpcFrequency)
{
    file_.reset(std::fopen(path_.c_str(), "w"));
    if (!file_) {
        error_ = "cannot create the CSV " + path_ + ": " + std::strerror(errno);
        return;
    }
    if (std::fputs("frame,seconds,ms,us,fill_qpc,delivered_qpc,latency_us,board_frame,checksum,timecode,time\n", file_.get()) < 0) {
        error_ = "cannot write the CSV " + path_;
    }
}

void CsvWriter::Append(const FrameRecord& f)
{
    if (!file_ || Failed()) {
        return;
    }
    char latency[32] = "";
    if (f.fillQpc != 0 && qpcFrequency_ > 0) {
        std::snprintf(latency, sizeof latency, "%.1f", static_cast<double>(f.deliveredQpc - f.fillQpc) * 1e6 / static_cast<double>(qpcFrequency_));
    }
    char timecode[16] = "";
    if (f.timecodePresent) {
        TimecodeText(f.timecode, timecode);
    }
    if (std::fprintf(file_.get(), "%" PRIu64 ",%" PRId32 ",%u,%u,%lld,%lld,%s,%lld,%08" PRIx32 ",%s,%s\n", f.index, f.seconds,
                     static_cast<unsigned>(f.milliseconds), static_cast<unsigned>(f.microseconds), static_cast<long long>(f.fillQpc),
                     static_cast<long long>(f.deliveredQpc), latency, static_cast<long long>(f.boardFrame), f.checksum, timecode,
                     UnixTimeText(f).c_str()) < 0) {
        error_ = "cannot write the CSV " + path_ + ": " + std::strerror(errno);
        return;
    }
    ++rows_;
}

bool CsvWriter::Close()
{
    if (file_) {
        const bool flushed = std::fflush(file_.get()) == 0 && std::ferror(file_.get()) == 0;
        const bool closed = std::fclose(file_.release()) == 0;
        if ((!flushed || !closed) && !Failed()) {
            error_ = "cannot write the CSV " + path_;
        }
    }
    return !Failed();
}

}  // namespace orvane::capture
