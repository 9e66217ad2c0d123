// orvane-dshow-check: what a user runs first when an application does not show the board. Lists
// the video input devices as every DirectShow application sees them, then runs one as an
// application does and reports the rate, the lost frames and the time-stamp steps, or the reason
// the board gave for not running.
#include <dshow.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/ComApartment.h"
#include "tools/common/BoardControl.h"
#include "tools/common/ComErrorText.h"
#include "tools/common/DebugOutputReader.h"
#include "videosource/MediaTypeCopy.h"
#include "videosource/VideoSourceIds.h"
#include "videosource/check/CheckGraph.h"
#include "videosource/check/CheckOptions.h"
#include "videosource/check/DeviceCatalog.h"
#include "videosource/check/SampleTimes.h"
#include "videosource/check/SubtypeNames.h"

using namespace orvane;
using namespace orvane::dshowcheck;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr double kUnitsPerSecond = 1e7;
constexpr DWORD kSlackMs = 5000;

std::string Result(HRESULT result)
{
    const std::string name = videosource::ResultName(result);
    return name.empty() ? host::DescribeFailure(result) : name + " (" + host::HresultHex(result) + ")";
}

// The source's and the module's own lines, which say why.
void PrintReasons(host::DebugOutputReader& log)
{
    for (const std::string& line : log.Lines(1000)) {
        if (line.rfind("OrvaneVideoSource - ", 0) == 0 || line.rfind("Orvane - ", 0) == 0) {
            std::printf("  log      : %s\n", line.c_str());
        }
    }
}

void ListDevices(const std::vector<VideoDevice>& devices)
{
    std::printf("Video input devices: %u\n", static_cast<unsigned>(devices.size()));
    for (size_t i = 0; i < devices.size(); ++i) {
        const VideoDevice& device = devices[i];
        std::printf("  %u  \"%s\"", static_cast<unsigned>(i + 1), host::Narrow(device.friendlyName).c_str());
        if (device.IsOrvane()) {
            std::printf("  serial %s", host::Narrow(device.serial).c_str());
        }
        if (!device.devicePath.empty()) {
            std::printf("  path %s", host::Narrow(device.devicePath).c_str());
        }
        std::printf("\n");
    }
}

// The pin's formats as IAMStreamConfig offers them; false with the reason printed.
bool PrintFormats(IBaseFilter& source)
{
    ComPtr<IEnumPins> pins;
    ComPtr<IPin> pin;
    ComPtr<IAMStreamConfig> config;
    if (FAILED(source.EnumPins(pins.Put())) || pins->Next(1, pin.Put(), nullptr) != S_OK || FAILED(pin.QueryTo(IID_IAMStreamConfig, config))) {
        std::printf("formats  : the device has no capture pin with IAMStreamConfig\n");
        return false;
    }
    int count = 0;
    int size = 0;
    const HRESULT result = config->GetNumberOfCapabilities(&count, &size);
    if (FAILED(result)) {
        std::printf("formats  : none: %s\n", Result(result).c_str());
        return false;
    }
    std::string buffer(static_cast<size_t>(size), '\0');
    std::string names;
    VIDEO_STREAM_CONFIG_CAPS caps{};
    for (int i = 0; i < count; ++i) {
        AM_MEDIA_TYPE* type = nullptr;
        if (config->GetStreamCaps(i, &type, reinterpret_cast<BYTE*>(buffer.data())) == S_OK) {
            names += (names.empty() ? "" : " ") + SubtypeName(type->subtype);
            CopyMemory(&caps, buffer.data(), sizeof caps);
            videosource::DeleteMediaType(type);
        }
    }
    const double rate = caps.MinFrameInterval > 0 ? kUnitsPerSecond / static_cast<double>(caps.MinFrameInterval) : 0;
    std::printf("formats  : %s, %ldx%ld at %.3f frames/s\n", names.c_str(), caps.MaxOutputSize.cx, caps.MaxOutputSize.cy, rate);
    return true;
}

int RunDevice(const VideoDevice& device, const CheckOptions& options, host::DebugOutputReader& log)
{
    std::printf("device   : %s\n", host::Narrow(device.friendlyName).c_str());
    ComPtr<IBaseFilter> source;
    HRESULT result = device.moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, source.PutVoid());
    if (FAILED(result)) {
        std::printf("result   : FAILED binding the device: %s\n", Result(result).c_str());
        return kExitFailed;
    }
    if (!PrintFormats(*source.Get())) {
        std::printf("result   : FAILED\n");
        PrintReasons(log);
        return kExitFailed;
    }
    SampleTimes samples(static_cast<size_t>(options.frames));
    CheckGraph graph;
    std::string error;
    const std::optional<GUID> subtype = options.format.empty() ? std::nullopt : SubtypeByName(options.format);
    result = graph.Build(*source.Get(), subtype, samples, error);
    if (FAILED(result)) {
        std::printf("result   : FAILED %s\n", error.c_str());
        PrintReasons(log);
        return kExitFailed;
    }
    const AM_MEDIA_TYPE& type = graph.ConnectedType();
    const auto* video = reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
    const REFERENCE_TIME period = video->AvgTimePerFrame;
    const double nominal = period > 0 ? kUnitsPerSecond / static_cast<double>(period) : 0;
    std::printf("format   : %s %ldx%ld, %u bits, %lu bytes per frame, period %lld (%.3f frames/s)\n", SubtypeName(type.subtype).c_str(),
                video->bmiHeader.biWidth, video->bmiHeader.biHeight, video->bmiHeader.biBitCount,
                static_cast<unsigned long>(video->bmiHeader.biSizeImage), static_cast<long long>(period), nominal);

    // The simulated board tells the frames it never painted (its producer woke too late) from
    // those it lost; the vendor's library has no such counts.
    const host::BoardControl board;
    board.ResetCounters();
    result = graph.Run();
    if (FAILED(result)) {
        std::printf("result   : FAILED to run: %s\n", Result(result).c_str());
        PrintReasons(log);
        return kExitFailed;
    }
    const ULONGLONG started = GetTickCount64();
    const DWORD bound = static_cast<DWORD>(nominal > 0 ? options.frames * 2000.0 / nominal : 0) + kSlackMs;
    LONG_PTR parameter = 0;
    const long ended = graph.Wait(samples.Done(), bound, parameter);
    const double seconds = static_cast<double>(GetTickCount64() - started) / 1000.0;
    ComPtr<IAMDroppedFrames> drops;
    long dropped = -1;
    long delivered = -1;
    if (SUCCEEDED(source.QueryTo(IID_IAMDroppedFrames, drops))) {
        drops->GetNumDropped(&dropped);
        drops->GetNumNotDropped(&delivered);
    }
    graph.Stop();

    const std::vector<SampleRecord> records = samples.Records();
    const StepReport steps = ReportSteps(records, period);
    size_t discontinuities = 0;
    size_t timed = 0;
    for (const SampleRecord& record : records) {
        discontinuities += record.discontinuity ? 1 : 0;
        timed += record.timed ? 1 : 0;
    }
    std::printf("frames   : %u of %d in %.2f s after Run, %.2f frames/s from the first to the last (nominal %.3f)\n",
                static_cast<unsigned>(records.size()), options.frames, seconds, ArrivalRate(records), nominal);
    std::printf("drops    : IAMDroppedFrames %ld dropped, %ld delivered; steps of 1.5 periods or more %u; discontinuities %u\n", dropped,
                delivered, static_cast<unsigned>(steps.gaps), static_cast<unsigned>(discontinuities));
    std::printf("steps    : %u time-stamp steps, mean %.3f ms, min %.3f, max %.3f, jitter %.3f ms; within 1 ms of the period %u\n",
                static_cast<unsigned>(steps.steps), steps.meanMs, steps.minMs, steps.maxMs, steps.jitterMs,
                static_cast<unsigned>(steps.withinOneMs));
    if (ended == EC_ERRORABORT) {
        std::printf("result   : FAILED: the stream was aborted: %s\n", Result(static_cast<HRESULT>(parameter)).c_str());
        PrintReasons(log);
        return kExitFailed;
    }
    long notPainted = 0;
    if (board.HasCounters()) {
        const host::BoardCounters counters = board.ReadCounters();
        std::printf("board    : %lld painted, %lld not painted (the producer was late), %lld dropped for want of a buffer\n",
                    static_cast<long long>(counters.produced), static_cast<long long>(counters.ticksSkipped),
                    static_cast<long long>(counters.droppedNoBlock));
        // Frames the board never painted were never there to lose.
        if (dropped > 0 && counters.droppedNoBlock == 0 && dropped <= counters.ticksSkipped) {
            notPainted = dropped;
            dropped = 0;
        }
    }
    // The source's own count of lost frames where it keeps one; else what the times show.
    const bool lost = dropped >= 0 ? dropped > 0 : steps.gaps > 0;
    const bool complete = records.size() == static_cast<size_t>(options.frames) && timed == records.size();
    if (!complete || lost || steps.backwards > 0) {
        std::printf("result   : FAILED: %s\n", !complete ? "not every frame came, with its time"
                                                   : lost ? "frames were lost"
                                                          : "sample times went backwards");
        PrintReasons(log);
        return kExitFailed;
    }
    if (notPainted > 0) {
        std::printf("result   : OK (the %ld missing frames were never painted by the board)\n", notPainted);
    } else {
        std::printf("result   : OK\n");
    }
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string error;
    const auto options = ParseCheckOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "orvane-dshow-check: error: %s (see --help)\n", error.c_str());
        return kExitUsage;
    }
    if (options->help) {
        std::fputs(CheckUsage().c_str(), stdout);
        return kExitOk;
    }
    if (options->version) {
        std::printf("%s\n", CheckVersion().c_str());
        return kExitOk;
    }
    host::DebugOutputReader log;  // the reasons the source and the module give
    const ComApartment apartment;
    std::vector<VideoDevice> devices;
    const HRESULT listed = ListVideoDevices(devices);
    if (FAILED(listed)) {
        std::printf("The system device enumerator cannot be used: %s\n", Result(listed).c_str());
        return kExitFailed;
    }
    ListDevices(devices);
    if (options->listOnly) {
        return kExitOk;
    }
    const VideoDevice* device = nullptr;
    if (!options->device.empty()) {
        device = FindDevice(devices, options->device);
        if (device == nullptr) {
            std::fprintf(stderr, "orvane-dshow-check: no video input device \"%s\"\n", options->device.c_str());
            return kExitUsage;
        }
    } else {
        for (const VideoDevice& candidate : devices) {
            if (candidate.IsOrvane()) {
                device = &candidate;
                break;
            }
        }
        if (device == nullptr) {
            std::printf("No Orvane board is registered as a video input device: register OrvaneVideoSource.dll with regsvr32\n"
                        "(it registers one device per board present).\n");
            return kExitFailed;
        }
    }
    return RunDevice(*device, *options, log);
}
