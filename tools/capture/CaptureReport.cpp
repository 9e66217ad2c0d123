#include "tools/capture/CaptureReport.h"

#include <cinttypes>


namespace orvane::capture {

namespace {

FrameNumbers CheckFrameNumbers(const std::vector<FrameRecord>& frames)
{
    FrameNumbers n;
    for (const FrameRecord& f : frames) {
        if (f.boardFrame < 0) {
            continue;
        }
        if (n.last >= 0) {
            if (f.boardFrame <= n.last) {
                ++n.outOfOrder;
            } else {
                n.missing += f.boardFrame - n.last - 1;
            }
        } else {
            n.first = f.boardFrame;
        }
        n.last = f.boardFrame;
    }
    return n;
}

}  // namespace

CaptureFigures ComputeFigures(const CaptureResult& r, const std::vector<FrameRecord>& frames)
{
    CaptureFigures f;
    f.nominalRate = r.profile.NominalFrameRate();
    if (frames.size() >= 2) {
        const double span = frames.back().StampSeconds() - frames.front().StampSeconds();
        f.stampRate = span > 0 ? static_cast<double>(frames.size() - 1) / span : 0;
    }
    f.deliveredRate = r.elapsedSeconds > 0 ? static_cast<double>(r.counters.delivered) / r.elapsedSeconds : 0;
    f.numbers = CheckFrameNumbers(frames);
    std::vector<double> intervals;
    for (size_t i = 1; i < frames.size(); ++i) {
        intervals.push_back((frames[i].StampSeconds() - frames[i - 1].StampSeconds()) * 1e3);
    }
    f.intervalsMs = host::Summarize(std::move(intervals));
    std::vector<double> latencies;
    for (const FrameRecord& frame : frames) {
        if (frame.fillQpc != 0) {
            latencies.push_back(static_cast<double>(frame.deliveredQpc - frame.fillQpc) * 1e6 / static_cast<double>(r.qpcFrequency));
        }
    }
    f.latencyUs = host::Summarize(std::move(latencies));
    return f;
}

void PrintSummary(std::FILE* out, const CaptureResult& r, const std::vector<FrameRecord>& frames)
{
    const CaptureFigures figures = ComputeFigures(r, frames);
    const auto& c = r.counters;
    std::fprintf(out, "\nOrvane capture summary\n");
    std::fprintf(out, "  profile              : %s\n", r.profilePath.c_str());
    if (!r.profile.description.empty()) {
        std::fprintf(out, "                         %s\n", r.profile.description.c_str());
    }
    const host::ImageGeometry& g = r.geometry;
    std::fprintf(out, "  image                : %ld x %ld, %ld bytes per frame; %d buffers%s\n", g.width, g.height, g.imageBytes, r.buffers,
                 r.geometryFromProfile ? " (size from the profile: the module does not report it)" : "");
    const std::string name = g.formatName.empty() ? std::string("type ") + std::to_string(g.formatType)
                                                  : "\"" + g.formatName + "\" (type " + std::to_string(g.formatType) + ")";
    if (r.geometryFromProfile) {
        std::fprintf(out, "  format               : %s assumed, %ld bits per pixel; significant bits and format code not reported\n",
                     name.c_str(), g.bitsPerPixel);
    } else {
        std::fprintf(out, "  format               : %s, %ld bits per pixel, %ld significant, format code %ld\n",
                     g.formatType < 0 ? "not told by the module" : name.c_str(), g.bitsPerPixel, g.significantBits, g.formatCode);
    }
    if (!r.formatNote.empty()) {
        std::fprintf(out, "                         %s\n", r.formatNote.c_str());
    }
    std::fprintf(out, "  frames delivered     : %" PRIu64 " in %.2f s\n", c.delivered, r.elapsedSeconds);

    // The rate from the frames' own time stamps (first to last), and from the host's clock.
    const double nominal = figures.nominalRate;
    const double stampRate = figures.stampRate;
    const double hostRate = figures.deliveredRate;
    if (nominal > 0) {
        std::fprintf(out, "  frame rate           : %.3f fps measured (time stamps), %.3f fps nominal (%.1f %%); %.2f fps delivered over the run\n",
                     stampRate, nominal, 100.0 * stampRate / nominal, hostRate);
    } else {
        std::fprintf(out, "  frame rate           : %.3f fps measured (time stamps), nominal unknown; %.2f fps delivered over the run\n",
                     stampRate, hostRate);
    }
    if (r.board) {
        const host::BoardCounters& b = *r.board;
        std::fprintf(out, "  dropped by the board : %" PRId64 " (no free block %" PRId64 ", injected %" PRId64 "); produced %" PRId64
                          ", ticks skipped %" PRId64 ", ticks without signal %" PRId64 "\n",
                     b.Dropped(), b.droppedNoBlock, b.droppedInjected, b.produced, b.ticksSkipped, b.ticksNoSignal);
    }
    // The module's own losses, apart from the board's drops above.
    if (r.module.available) {
        std::fprintf(out, "  lost in the module   : %" PRId64 " (filled buffers no image could take %" PRId64 ", frames let go unread %" PRId64
                          "); board frame numbers skipped %" PRId64 "\n",
                     r.module.Lost(), r.module.lostNoImage, r.module.lostUnread, r.module.boardSkipped);
    }
    const FrameNumbers& numbers = figures.numbers;
    if (numbers.first >= 0) {
        std::fprintf(out, "  board frame numbers  : %" PRId64 " .. %" PRId64 ", %" PRId64 " missing, %" PRId64 " out of order\n", numbers.first,
                     numbers.last, numbers.missing, numbers.outOfOrder);
    }
    // The module answers S_FALSE ("overrun") when a call had to wait; on a healthy run both threads
    // are ahead of the board and wait nearly every time.
    std::fprintf(out, "  GrabNext waits       : %" PRIu64 " of %" PRIu64 " calls waited for a free buffer (usual: the grab thread keeps ahead)\n",
                 c.grabOverruns, c.grabCalls);
    std::fprintf(out, "  GetCurrent waits     : %" PRIu64 " of %" PRIu64 " frames were waited for (usual: the reader keeps up)\n",
                 c.readOverruns, c.delivered);
    if (c.failures > 0 || c.emptyReads > 0 || r.nullPixelFrames > 0) {
        std::fprintf(out, "  irregular            : %" PRIu64 " failed calls, %" PRIu64 " empty wake-ups, %" PRIu64 " frames without pixels\n",
                     c.failures, c.emptyReads, r.nullPixelFrames);
    }
    if (r.maxReadyCount >= 0) {
        std::fprintf(out, "  max ready count      : %ld\n", r.maxReadyCount);
    }

    const host::Summary& gap = figures.intervalsMs;
    if (gap.count > 0) {
        std::fprintf(out, "  time stamp interval  : mean %.3f ms, min %.3f ms, max %.3f ms, jitter (stddev) %.3f ms\n", gap.mean, gap.min,
                     gap.max, gap.stddev);
    }
    const host::Summary& latency = figures.latencyUs;
    if (latency.count > 0) {
        std::fprintf(out, "  latency fill->frame  : p50 %.0f us, p99 %.0f us, max %.0f us (%zu frames)\n", latency.p50, latency.p99,
                     latency.max, latency.count);
    }
    if (!r.csvPath.empty()) {
        std::fprintf(out, "  per-frame times      : %s (%" PRIu64 " rows)\n", r.csvPath.c_str(), r.csvRows);
    }
    if (!r.streamTarget.empty()) {
        std::fprintf(out, "  raw frames           : %" PRIu64 " to %s\n", r.streamedFrames, r.streamTarget.c_str());
    }
    if (!r.savedImages.empty()) {
        std::fprintf(out, "  images               : %zu PNG files, first %s\n", r.savedImages.size(), r.savedImages.front().c_str());
    }
}

}  // namespace orvane::capture
