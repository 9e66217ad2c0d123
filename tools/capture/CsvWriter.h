#pragma once
// The per-frame CSV, written as the frames arrive, so that a run that is interrupted or ends early
// leaves every row up to its end. Columns (README, "The CSV"): frame, seconds, ms, us, fill_qpc,
// delivered_qpc, latency_us, board_frame, checksum, timecode, time.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "tools/capture/FrameRecord.h"

namespace orvane::capture {

class CsvWriter {
public:
    // Creates the file and writes the header; Failed() tells whether that worked.
    CsvWriter(std::string path, LONGLONG qpcFrequency);
    CsvWriter(const CsvWriter&) = delete;
    CsvWriter& operator=(const CsvWriter&) = delete;

    // One row; the first failure to write is kept, later rows are not attempted.
    void Append(const FrameRecord& frame);

    // Flushes and closes the file; false with Error() when anything could not be written.
    bool Close();

    bool Failed() const { return !error_.empty(); }
    const std::string& Error() const { return error_; }
    const std::string& Path() const { return path_; }
    std::uint64_t Rows() const { return rows_; }

private:
    struct FileCloser {
        void operator()(std::FILE* file) const noexcept { std::fclose(file); }
    };

    std::string path_;
    LONGLONG qpcFrequency_;
    std::unique_ptr<std::FILE, FileCloser> file_;
    std::string error_;
    std::uint64_t rows_ = 0;
};

// "1700000000.123456": the header's time as seconds since 1970 with its microseconds.
std::string UnixTimeText(const FrameRecord& frame);

}  // namespace orvane::capture
