#include "benchmarks/ModuleRun.h"

#include <algorithm>
#include <cstddef>

#include "benchmarks/LatencySink.h"
#include "benchmarks/ThreadCpu.h"
#include "platform/RegistryKey.h"
#include "tools/common/ProfileInfo.h"

namespace orvane::bench {

namespace {

LONGLONG Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

host::BoardCounters Minus(const host::BoardCounters& a, const host::BoardCounters& b)
{
    host::BoardCounters d;
    d.produced = a.produced - b.produced;
    d.delivered = a.delivered - b.delivered;
    d.released = a.released - b.released;
    d.droppedNoBlock = a.droppedNoBlock - b.droppedNoBlock;
    d.droppedInjected = a.droppedInjected - b.droppedInjected;
    d.ticksSkipped = a.ticksSkipped - b.ticksSkipped;
    d.ticksNoSignal = a.ticksNoSignal - b.ticksNoSignal;
    return d;
}

bool StoreTimeSource(const std::wstring& registryPath, const ModuleRunSettings& settings)
{
    RegistryKey key;
    if (key.Create(HKEY_CURRENT_USER, registryPath.c_str()) != ERROR_SUCCESS) {
        return false;
    }
    const DWORD timeOffset = static_cast<DWORD>(settings.timeOffset);
    const DWORD timecodeOffset = static_cast<DWORD>(settings.timecodeOffset);
    return RegSetValueExA(key.Get(), "TimeSourceDLL", 0, REG_SZ, reinterpret_cast<const BYTE*>(settings.timeSource.c_str()),
                          static_cast<DWORD>(settings.timeSource.size() + 1)) == ERROR_SUCCESS &&
           RegSetValueExA(key.Get(), "TimeSourceOffset", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&timeOffset),
                          sizeof timeOffset) == ERROR_SUCCESS &&
           RegSetValueExA(key.Get(), "LTCTimeSourceOffset", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&timecodeOffset),
                          sizeof timecodeOffset) == ERROR_SUCCESS;
}

}  // namespace

ModuleRunResult RunModule(const ModuleRunSettings& settings, const host::BoardControl& board)
{
    ModuleRunResult result;
    host::SessionSettings session;
    session.registryPath = L"Software\\OrvaneBench\\";
    session.profilePath = host::ProgramFolder() + "profiles\\" + settings.profile;
    session.buffers = static_cast<short>(settings.buffers);
    session.creation = settings.creation;
    session.readAfterStop = true;
    if (!host::FileExists(session.profilePath)) {
        result.error = "profile not found: " + session.profilePath;
        return result;
    }

    if (!StoreTimeSource(session.registryPath, settings)) {
        result.error = "cannot store the time source in the registry";
        return result;
    }

    LatencySink sink(board);
    host::GrabberSession grabber;
    if (!grabber.Open(session, result.error)) {
        return result;
    }
    board.SetFrameRate(settings.framesPerSecond);
    result.headerOnly = settings.headerOnly && board.SetHeaderOnly(true);
    if (!grabber.Start(sink, 0, result.error)) {
        board.SetHeaderOnly(false);
        std::string ignored;
        grabber.Stop(ignored);
        return result;
    }
    Sleep(static_cast<DWORD>(settings.warmupSeconds * 1000));

    const std::uint64_t deliveredBefore = grabber.Counters().delivered;
    const host::BoardCounters boardBefore = board.ReadCounters();
    const double hostBefore = ThreadCpuSeconds(grabber.GrabThread()) + ThreadCpuSeconds(grabber.ReadThread());
    const CpuSnapshot cpuBefore = TakeCpuSnapshot();
    const LONGLONG started = Now();

    Sleep(static_cast<DWORD>(settings.seconds * 1000));

    const LONGLONG stopped = Now();
    const CpuSnapshot cpuAfter = TakeCpuSnapshot();
    const double hostAfter = ThreadCpuSeconds(grabber.GrabThread()) + ThreadCpuSeconds(grabber.ReadThread());
    const host::BoardCounters boardAfter = board.ReadCounters();
    const std::uint64_t deliveredAfter = grabber.Counters().delivered;

    const bool stoppedCleanly = grabber.Stop(result.error);
    board.SetHeaderOnly(false);
    board.SetFrameRate(host::BoardControl::kRateFromMode);
    if (!stoppedCleanly) {
        return result;
    }
    result.module = grabber.FrameCounts();

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    result.seconds = static_cast<double>(stopped - started) / static_cast<double>(frequency.QuadPart);
    result.frames = deliveredAfter - deliveredBefore;
    result.board = Minus(boardAfter, boardBefore);
    result.host = grabber.Counters();
    result.skippedNumbers = sink.MissingFrames();
    const std::uint64_t boardSkipped = result.module.available ? static_cast<std::uint64_t>(result.module.boardSkipped) : 0;
    result.missingFrames = result.skippedNumbers > boardSkipped ? result.skippedNumbers - boardSkipped : 0;
    result.outOfOrderFrames = sink.OutOfOrderFrames();
    // Latencies of the frames delivered in the window (every frame of the simulated board has one).
    const auto& all = sink.LatencyMicroseconds();
    const size_t first = std::min<size_t>(all.size(), static_cast<size_t>(deliveredBefore));
    const size_t last = std::min<size_t>(all.size(), static_cast<size_t>(deliveredAfter));
    result.latencyMicroseconds.assign(all.begin() + static_cast<std::ptrdiff_t>(first), all.begin() + static_cast<std::ptrdiff_t>(last));

    result.cpuProcess = cpuAfter.process - cpuBefore.process;
    result.cpuModuleThreads = CpuOfModuleThreads(cpuBefore, cpuAfter, L"orvane.dll");
    result.cpuBoardThreads = CpuOfModuleThreads(cpuBefore, cpuAfter, L"ohdw32.dll");
    result.cpuHostThreads = hostAfter - hostBefore;
    for (const auto& [id, module] : cpuAfter.startModule) {
        auto earlier = cpuBefore.byThread.find(id);
        result.cpuByStartModule[module] += cpuAfter.byThread.at(id) - (earlier != cpuBefore.byThread.end() ? earlier->second : 0);
    }
    result.ok = true;
    return result;
}

}  // namespace orvane::bench
