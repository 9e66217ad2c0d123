#include "tools/capture/CaptureReport.h"

#include <cinttypes>

#include "tools/common/Statistics.h"

namespace orvane::capture {

namespace {

struct FrameNumbers {
    std::int64_t first = -1;
    std::int64_t last = -1;
    std::int64_t missing = 0;     // numbers skipped between consecutive frames
    std::int64_t outOfOrder = 0;  // frames whose number did not rise
};

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

void PrintSummary(std::FILE* out, const CaptureResult& r, const std::vector<FrameRecord>& frames)
{
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
    const double nominal = r.profile.NominalFrameRate();
    double stampRate = 0;
    if (frames.size() >= 2) {
        const double span = frames.back().StampSeconds() - frames.front().StampSeconds();
        stampRate = span > 0 ? static_cast<double>(frames.size() - 1) / span : 0;
    }
    const double hostRate = r.elapsedSeconds > 0 ? static_cast<double>(c.delivered) / r.elapsedSeconds : 0;
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
    const FrameNumbers numbers = CheckFrameNumbers(frames);
    if (numbers.first >= 0) {
        std::fprintf(out, "  board frame numbers  : %" PRId64 " .. %" PRId64 ", %" PRId64 " missing, %" PRId64 " out of order\n", numbers.first,
                     numbers.last, numbers.missing, numbers.outOfOrder);
    }
    std::fprintf(out, "  GrabNext overruns    : %" PRIu64 " of %" PRIu64 " calls (S_FALSE: waited for a free buffer)\n", c.grabOverruns,
                 c.grabCalls);
    std::fprintf(out, "  GetCurrent overruns  : %" PRIu64 " of %" PRIu64 " frames (S_FALSE: waited for a frame; usual when the reader keeps up)\n",
                 c.readOverruns, c.delivered);
    if (c.failures > 0 || c.emptyReads > 0 || r.nullPixelFrames > 0) {
        std::fprintf(out, "  irregular            : %" PRIu64 " failed calls, %" PRIu64 " empty wake-ups, %" PRIu64 " frames without pixels\n",
                     c.failures, c.emptyReads, r.nullPixelFrames);
    }
    if (r.maxReadyCount >= 0) {
        std::fprintf(out, "  max ready count      : %ld\n", r.maxReadyCount);
    }

    std::vector<double> intervals;
    for (size_t i = 1; i < frames.size(); ++i) {
        intervals.push_back((frames[i].StampSeconds() - frames[i - 1].StampSeconds()) * 1e3);
    }
    const host::Summary gap = host::Summarize(intervals);
    if (gap.count > 0) {
        std::fprintf(out, "  time stamp interval  : mean %.3f ms, min %.3f ms, max %.3f ms, jitter (stddev) %.3f ms\n", gap.mean, gap.min,
                     gap.max, gap.stddev);
    }
    std::vector<double> latencies;
    for (const FrameRecord& f : frames) {
        if (f.fillQpc != 0) {
            latencies.push_back(static_cast<double>(f.deliveredQpc - f.fillQpc) * 1e6 / static_cast<double>(r.qpcFrequency));
        }
    }
    const host::Summary latency = host::Summarize(latencies);
    if (latency.count > 0) {
        std::fprintf(out, "  latency fill->frame  : p50 %.0f us, p99 %.0f us, max %.0f us (%zu frames)\n", latency.p50, latency.p99,
                     latency.max, latency.count);
    }
    if (!r.csvPath.empty()) {
        std::fprintf(out, "  per-frame times      : %s (%zu rows)\n", r.csvPath.c_str(), frames.size());
    }
    if (!r.savedImages.empty()) {
        std::fprintf(out, "  images               : %zu PNG files, first %s\n", r.savedImages.size(), r.savedImages.front().c_str());
    }
}

}  // namespace orvane::capture
