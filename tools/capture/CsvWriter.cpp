#include "tools/capture/CsvWriter.h"

#include <cinttypes>
#include <cstdio>
#include <memory>

#include "tools/capture/Timecode.h"

namespace orvane::capture {

namespace {
struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
}  // namespace

bool WriteCsv(const std::string& path, const std::vector<FrameRecord>& frames, LONGLONG qpcFrequency, std::string& error)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "w"));
    if (!file) {
        error = "cannot create " + path;
        return false;
    }
    std::fprintf(file.get(), "frame,seconds,ms,us,fill_qpc,delivered_qpc,latency_us,board_frame,checksum,timecode\n");
    for (const FrameRecord& f : frames) {
        char latency[32] = "";
        if (f.fillQpc != 0 && qpcFrequency > 0) {
            std::snprintf(latency, sizeof latency, "%.1f", static_cast<double>(f.deliveredQpc - f.fillQpc) * 1e6 / static_cast<double>(qpcFrequency));
        }
        char timecode[16] = "";
        if (f.timecodePresent) {
            TimecodeText(f.timecode, timecode);
        }
        std::fprintf(file.get(), "%" PRIu64 ",%" PRId32 ",%u,%u,%lld,%lld,%s,%lld,%08" PRIx32 ",%s\n", f.index, f.seconds,
                     static_cast<unsigned>(f.milliseconds), static_cast<unsigned>(f.microseconds), static_cast<long long>(f.fillQpc),
                     static_cast<long long>(f.deliveredQpc), latency, static_cast<long long>(f.boardFrame), f.checksum, timecode);
    }
    if (std::ferror(file.get()) != 0 || std::fflush(file.get()) != 0) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace orvane::capture
