#include "tools/capture/CaptureJson.h"

#include <nlohmann/json.hpp>

#include "tools/common/ComErrorText.h"

namespace orvane::capture {

namespace {

using nlohmann::json;
using host::Utf8;

json StatisticsJson(const host::Summary& s)
{
    return {{"count", s.count}, {"mean", s.mean}, {"min", s.min}, {"max", s.max}, {"stddev", s.stddev}, {"p50", s.p50}, {"p99", s.p99}};
}

json Texts(const std::vector<std::string>& texts)
{
    json list = json::array();
    for (const std::string& text : texts) {
        list.push_back(Utf8(text));
    }
    return list;
}

}  // namespace

std::string SummaryJson(const CaptureResult& r, const std::vector<FrameRecord>& frames, const TimeSourceState& timeSource,
                        const std::vector<host::RememberedValue>& remembered, const CaptureOutcome& outcome)
{
    const CaptureFigures f = ComputeFigures(r, frames);
    const host::ImageGeometry& g = r.geometry;
    json summary;
    summary["exit_code"] = outcome.exitCode;
    summary["error"] = Utf8(outcome.error);
    summary["interrupted"] = outcome.interrupted;
    summary["profile"] = {{"path", Utf8(r.profilePath)}, {"description", Utf8(r.profile.description)}};
    summary["image"] = {{"width", g.width},
                        {"height", g.height},
                        {"bytes_per_frame", g.imageBytes},
                        {"bits_per_pixel", g.bitsPerPixel},
                        {"significant_bits", g.significantBits},
                        {"format_code", g.formatCode},
                        {"format_type", g.formatType},
                        {"format_name", Utf8(g.formatName)},
                        {"reported_by_module", !r.geometryFromProfile},
                        {"buffers", r.buffers}};
    const auto& c = r.counters;
    summary["frames"] = {{"delivered", c.delivered},
                         {"seconds", r.elapsedSeconds},
                         {"rate_nominal", f.nominalRate},
                         {"rate_from_stamps", f.stampRate},
                         {"rate_delivered", f.deliveredRate},
                         {"grab_calls", c.grabCalls},
                         {"grab_waits", c.grabOverruns},
                         {"read_waits", c.readOverruns},
                         {"empty_wakeups", c.emptyReads},
                         {"failed_calls", c.failures},
                         {"without_pixels", r.nullPixelFrames},
                         {"max_ready_count", r.maxReadyCount}};
    if (f.numbers.first >= 0) {
        summary["board_frame_numbers"] = {
            {"first", f.numbers.first}, {"last", f.numbers.last}, {"missing", f.numbers.missing}, {"out_of_order", f.numbers.outOfOrder}};
    }
    if (r.board) {
        const host::BoardCounters& b = *r.board;
        summary["board"] = {{"produced", b.produced},
                            {"dropped", b.Dropped()},
                            {"dropped_no_block", b.droppedNoBlock},
                            {"dropped_injected", b.droppedInjected},
                            {"ticks_skipped", b.ticksSkipped},
                            {"ticks_without_signal", b.ticksNoSignal}};
    }
    // The module's own losses by cause, apart from the board's drops (from IOrvaneFrameCounters).
    if (r.module.available) {
        summary["module"] = {{"captured", r.module.captured},
                             {"lost", r.module.Lost()},
                             {"lost_no_image", r.module.lostNoImage},
                             {"lost_unread", r.module.lostUnread},
                             {"board_frames_skipped", r.module.boardSkipped}};
    }
    summary["time_stamp_interval_ms"] = StatisticsJson(f.intervalsMs);
    if (f.latencyUs.count > 0) {
        summary["latency_fill_to_frame_us"] = StatisticsJson(f.latencyUs);
    }
    summary["time_source"] = {{"configured", Utf8(timeSource.configured)},
                              {"in_use", timeSource.configured.empty() || timeSource.refused ? "system clock" : Utf8(timeSource.configured)},
                              {"refused", timeSource.refused},
                              {"reason", Utf8(timeSource.reason)}};
    if (timeSource.answered) {
        summary["time_source"]["synchronisation"] = timeSource.synchronization;
        summary["time_source"]["gps_supported"] = timeSource.gpsSupported != 0;
    }
    summary["outputs"] = {{"csv", Utf8(r.csvPath)},
                          {"csv_rows", r.csvRows},
                          {"images", Texts(r.savedImages)},
                          {"stream", Utf8(r.streamTarget)},
                          {"streamed_frames", r.streamedFrames}};
    json values = json::array();
    for (const host::RememberedValue& value : remembered) {
        values.push_back({{"name", value.name}, {"value", Utf8(value.text)}, {"given_now", value.givenNow}, {"meaning", value.meaning}});
    }
    summary["remembered"] = values;
    summary["warnings"] = Texts(outcome.warnings);
    return summary.dump(2, ' ', false, json::error_handler_t::replace);
}

}  // namespace orvane::capture
