// orvane-bench: what one frame costs on its way through the module, measured against a floor of
// bare thread handoffs, in one run.
#include <windows.h>

#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "benchmarks/BenchOptions.h"
#include "benchmarks/HandoffFloor.h"
#include "benchmarks/ModuleRun.h"
#include "interfaces/ImageHeader.h"
#include "platform/ComApartment.h"
#include "tools/common/BoardControl.h"
#include "tools/common/ComErrorText.h"
#include "tools/common/Statistics.h"

using namespace orvane;

namespace {

void PrintCpu(const bench::ModuleRunResult& r)
{
    const double frames = r.frames > 0 ? static_cast<double>(r.frames) : 1;
    std::printf("    CPU per frame     : capture thread %.1f us, host grab+read threads %.1f us (inside GrabNext/GetCurrent/ReleaseCurrent),\n"
                "                        module total %.1f us; simulated board %.1f us; whole process %.1f us\n",
                r.cpuModuleThreads * 1e6 / frames, r.cpuHostThreads * 1e6 / frames, (r.cpuModuleThreads + r.cpuHostThreads) * 1e6 / frames,
                r.cpuBoardThreads * 1e6 / frames, r.cpuProcess * 1e6 / frames);
    std::printf("    CPU by thread start: ");
    for (const auto& [module, seconds] : r.cpuByStartModule) {
        std::printf("%s %.3f s  ", host::Narrow(module).c_str(), seconds);
    }
    std::printf("(over %.2f s)\n", r.seconds);
}

void PrintModuleRun(const char* title, const bench::ModuleRunResult& r, const host::Summary& latency, bool boardCounts)
{
    std::printf("%s\n", title);
    if (!r.ok) {
        std::printf("    failed: %s\n", r.error.c_str());
        return;
    }
    if (boardCounts) {
        std::printf("    frames            : %" PRIu64 " in %.2f s = %.1f frames/s; board produced %" PRId64 ", dropped %" PRId64
                    " (no free block %" PRId64 "), ticks skipped %" PRId64 "\n",
                    r.frames, r.seconds, static_cast<double>(r.frames) / r.seconds, r.board.produced, r.board.Dropped(),
                    r.board.droppedNoBlock, r.board.ticksSkipped);
    } else {
        std::printf("    frames            : %" PRIu64 " in %.2f s = %.1f frames/s\n", r.frames, r.seconds,
                    static_cast<double>(r.frames) / r.seconds);
    }
    if (latency.count > 0) {
        std::printf("    latency fill->GetCurrent: p50 %.0f us, p99 %.0f us, max %.0f us\n", latency.p50, latency.p99, latency.max);
    }
    if (boardCounts) {
        std::printf("    board handed over : %" PRId64 ", got back %" PRId64 "; host: %" PRIu64 " empty wake-ups, %" PRIu64 " failed calls\n",
                    r.board.delivered, r.board.released, r.host.emptyReads, r.host.failures);
    } else {
        std::printf("    host              : %" PRIu64 " empty wake-ups, %" PRIu64 " failed calls\n", r.host.emptyReads, r.host.failures);
    }
    std::printf("    board frame numbers never seen by the host: %" PRIu64 ", out of order: %" PRIu64 " (whole run)\n", r.missingFrames,
                r.outOfOrderFrames);
    if (r.module.available) {
        std::printf("    lost in the module: %" PRId64 " (no image %" PRId64 ", let go unread %" PRId64 "); numbers the board skipped %" PRId64
                    " of %" PRIu64 " skipped between frames read; frames captured %" PRId64 "\n",
                    r.module.Lost(), r.module.lostNoImage, r.module.lostUnread, r.module.boardSkipped, r.skippedNumbers, r.module.captured);
    } else {
        std::printf("    lost in the module: not told (the module has no frame counters)\n");
    }
    std::printf("    host overruns     : GrabNext %" PRIu64 " of %" PRIu64 ", GetCurrent %" PRIu64 " of %" PRIu64 "\n", r.host.grabOverruns,
                r.host.grabCalls, r.host.readOverruns, r.host.delivered);
    PrintCpu(r);
}

}  // namespace

int main(int argc, char** argv)
{
    std::string error;
    const auto parsed = bench::ParseBenchOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!parsed) {
        std::fprintf(stderr, "orvane-bench: %s\n\n%s", error.c_str(), bench::BenchUsage());
        return 2;
    }
    const bench::BenchOptions& options = *parsed;
    if (options.help) {
        std::fputs(bench::BenchUsage(), stdout);
        return 0;
    }
    orvane::ComApartment apartment;
    const host::Creation creation = options.registered ? host::Creation::Registered : host::Creation::ModuleFile;
    std::printf("orvane-bench: %d buffers, %s\n", options.buffers,
                options.registered ? "object from the registration" : "object from Orvane.dll beside the program");
    std::printf("CPU is read per thread (GetThreadTimes) and grouped by the module each thread started in: the\n"
                "module's own capture thread starts in Orvane.dll, the simulated board's producer in OHDW32.dll;\n"
                "the host's grab and read threads are ours but spend their time in the module's GrabNext,\n"
                "GetCurrent and ReleaseCurrent. Under Wine thread times advance in 10 ms ticks: short runs read coarse.\n");

    // The board library beside the module; the vendor's own has no counts, fill times or rate
    // override, and the runs go on without them.
    const host::BoardControl board;
    std::string missing = board.MissingFigures();
    if (!board.HasFrameRate()) {
        missing += std::string(missing.empty() ? "" : "; ") + "frame-rate override ((b) runs at the mode's rate)";
    }
    if (!missing.empty()) {
        std::printf("not available from this board library: %s\n", missing.c_str());
    }

    // (a) The floor.
    const bench::FloorResult floor = bench::RunHandoffFloor(options.buffers, options.fastSeconds);
    const double floorRate = floor.seconds > 0 ? static_cast<double>(floor.frames) / floor.seconds : 0;
    const host::Summary floorLatency = host::Summarize(floor.latencyMicroseconds);
    std::printf("(a) floor: board producer -> capture thread -> ready list -> read thread -> free list -> grab thread -> board,\n"
                "    bare locks, events and lists, no module, frame headers only\n");
    std::printf("    frames            : %llu in %.2f s = %.1f frames/s\n", floor.frames, floor.seconds, floorRate);
    std::printf("    latency fill->read: p50 %.0f us, p99 %.0f us, max %.0f us\n", floorLatency.p50, floorLatency.p99, floorLatency.max);
    std::fflush(stdout);

    // (b) The module's full cycle as fast as the simulated board goes, small frames.
    bench::ModuleRunSettings fast;
    fast.profile = "orvane-640x480-60-vga.chp";
    fast.framesPerSecond = host::BoardControl::kRateUnlimited;
    fast.seconds = options.fastSeconds;
    fast.buffers = options.buffers;
    fast.creation = creation;
    fast.headerOnly = true;
    const bench::ModuleRunResult unlimited = bench::RunModule(fast, board);
    const host::Summary unlimitedLatency = host::Summarize(unlimited.latencyMicroseconds);
    PrintModuleRun(unlimited.headerOnly ? "(b) module, 640x480, board at its fastest, frame headers only (as the floor)"
                                        : "(b) module, 640x480, board at its fastest (this board paints whole frames: not like the floor)",
                   unlimited, unlimitedLatency, board.HasCounters());
    std::fflush(stdout);

    // (c) Real rates and sizes.
    for (const char* profile : {"orvane-1920x1080-60-dvi.chp", "orvane-3840x2160-60-dvi.chp"}) {
        bench::ModuleRunSettings paced = fast;
        paced.profile = profile;
        paced.headerOnly = false;
        paced.framesPerSecond = host::BoardControl::kRateFromMode;
        paced.seconds = options.durationSeconds;
        const bench::ModuleRunResult run = bench::RunModule(paced, board);
        const std::string title = std::string("(c) module, ") + profile + ", rate from the mode, whole frames painted";
        PrintModuleRun(title.c_str(), run, host::Summarize(run.latencyMicroseconds), board.HasCounters());
        std::fflush(stdout);
    }

    // (d) What stamping costs: the fast run with the sample plug-in, and with the plug-in and both
    // offsets, against the system clock alone; three rounds taken in turn, medians shown, so that
    // a change in the machine's load reaches every variant alike.
    struct StampRun {
        const char* what;
        const char* source;
        std::int32_t timeOffset;
        std::int32_t timecodeOffset;
        std::vector<double> perFrame;
        std::vector<double> rate;
    };
    StampRun stampRuns[] = {{"system clock alone", "System", 0, 0, {}, {}},
                            {"sample plug-in", "OrvaneSampleTimeSource.dll", 0, 0, {}, {}},
                            {"plug-in + both offsets", "OrvaneSampleTimeSource.dll", -1500, 3, {}, {}}};
    for (int round = 0; round < 3; ++round) {
        for (StampRun& stamp : stampRuns) {
            bench::ModuleRunSettings run = fast;
            run.timeSource = stamp.source;
            run.timeOffset = stamp.timeOffset;
            run.timecodeOffset = stamp.timecodeOffset;
            const bench::ModuleRunResult r = bench::RunModule(run, board);
            if (r.ok && r.frames > 0) {
                stamp.perFrame.push_back(r.cpuModuleThreads * 1e6 / static_cast<double>(r.frames));
                stamp.rate.push_back(static_cast<double>(r.frames) / r.seconds);
            }
        }
    }
    std::printf("(d) stamping, 640x480 at the board's fastest, headers only, 3 rounds: capture thread CPU per frame (matching, moving and\n"
                "    stamping), median and range\n");
    const host::Summary baseline = host::Summarize(stampRuns[0].perFrame);
    for (const StampRun& stamp : stampRuns) {
        if (stamp.perFrame.empty()) {
            std::printf("    %-24s: failed\n", stamp.what);
            continue;
        }
        const host::Summary cpu = host::Summarize(stamp.perFrame);
        const host::Summary rate = host::Summarize(stamp.rate);
        std::printf("    %-24s: %.2f us (%.2f .. %.2f), %+.2f us against the system clock; %.0f frames/s\n", stamp.what, cpu.p50,
                    cpu.min, cpu.max, cpu.p50 - baseline.p50, rate.p50);
    }
    // The plug-in's own share, timed directly: its ProcessImageData on one frame header.
    if (HMODULE plugin = LoadLibraryW(L"OrvaneSampleTimeSource.dll")) {
        using Process = unsigned char(__cdecl*)(ImageHeader*);
        auto process = reinterpret_cast<Process>(reinterpret_cast<void (*)()>(GetProcAddress(plugin, "ProcessImageData")));
        if (process != nullptr) {
            std::vector<unsigned char> pixels(16, 0);
            ImageHeader header{};
            header.pixels = pixels.data();
            header.seconds = 1700000000;
            constexpr int kCalls = 1000000;
            LARGE_INTEGER frequency, t0, t1;
            QueryPerformanceFrequency(&frequency);
            QueryPerformanceCounter(&t0);
            for (int i = 0; i < kCalls; ++i) {
                header.microseconds = static_cast<std::uint16_t>(i % 1000);
                process(&header);
            }
            QueryPerformanceCounter(&t1);
            std::printf("    the sample plug-in's ProcessImageData alone: %.1f ns per frame (%d calls)\n",
                        static_cast<double>(t1.QuadPart - t0.QuadPart) * 1e9 / static_cast<double>(frequency.QuadPart) / kCalls, kCalls);
        }
        FreeLibrary(plugin);
    }
    std::fflush(stdout);

    const double moduleRate = unlimited.ok && unlimited.seconds > 0 ? static_cast<double>(unlimited.frames) / unlimited.seconds : 0;
    auto ratio = [](double a, double b) { return b > 0 ? a / b : 0; };
    std::printf("module/floor: throughput %.3f (%.0f vs %.0f frames/s), latency p50 %.2fx (%.0f vs %.0f us), p99 %.2fx (%.0f vs %.0f us)\n",
                ratio(moduleRate, floorRate), moduleRate, floorRate, ratio(unlimitedLatency.p50, floorLatency.p50), unlimitedLatency.p50,
                floorLatency.p50, ratio(unlimitedLatency.p99, floorLatency.p99), unlimitedLatency.p99, floorLatency.p99);
    return unlimited.ok ? 0 : 1;
}
