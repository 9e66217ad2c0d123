// orvane-capture: captures live video through the Orvane grabber module exactly as a host
// application does, and reports what arrived.
#include <windows.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/ComApartment.h"
#include "tools/capture/CaptureOptions.h"
#include "tools/capture/CaptureReport.h"
#include "tools/capture/CsvWriter.h"
#include "tools/capture/FrameRecorder.h"
#include "tools/capture/TimeSourceSetup.h"
#include "tools/capture/ViewableImage.h"
#include "tools/common/BoardControl.h"
#include "tools/common/DebugOutputReader.h"
#include "tools/common/GrabberSession.h"
#include "tools/common/ProfileInfo.h"

using namespace orvane;

namespace {

constexpr char kDefaultProfile[] = "profiles\\orvane-1920x1080-60-dvi.chp";

LONGLONG Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

void PrintDiagnostics(host::DebugOutputReader* reader)
{
    if (reader == nullptr) {
        return;
    }
    if (!reader->Active()) {
        std::printf("\nModule diagnostics: not available (%s)\n", reader->Problem().c_str());
        return;
    }
    const std::vector<std::string> lines = reader->Lines();
    std::printf("\nModule diagnostics (%zu lines):\n", lines.size());
    constexpr size_t kShown = 200;
    for (size_t i = 0; i < lines.size() && i < kShown; ++i) {
        std::printf("  %s\n", lines[i].c_str());
    }
    if (lines.size() > kShown) {
        std::printf("  ... %zu more\n", lines.size() - kShown);
    }
}

bool PrepareOutputFolder(const std::string& folder)
{
    if (CreateDirectoryA(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) {
        const DWORD attributes = GetFileAttributesA(folder.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
    return false;
}

int Fail(const std::string& message, host::DebugOutputReader* reader)
{
    std::fflush(stdout);
    std::fprintf(stderr, "orvane-capture: error: %s\n", message.c_str());
    PrintDiagnostics(reader);
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string error;
    const auto parsed = capture::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!parsed) {
        std::fprintf(stderr, "orvane-capture: %s\n\n%s", error.c_str(), capture::UsageText());
        return 2;
    }
    const capture::CaptureOptions& options = *parsed;
    if (options.help) {
        std::fputs(capture::UsageText(), stdout);
        return 0;
    }

    const std::string profilePath = host::FullPath(options.profile.empty() ? host::ProgramFolder() + kDefaultProfile : options.profile);
    const auto profile = host::ReadProfile(profilePath);
    if (!profile) {
        std::fprintf(stderr, "orvane-capture: error: profile not found: %s\n", profilePath.empty() ? options.profile.c_str() : profilePath.c_str());
        return 1;
    }
    const std::string outDir = host::FullPath(options.outDir);
    if (outDir.empty() || !PrepareOutputFolder(outDir)) {
        std::fprintf(stderr, "orvane-capture: error: cannot use the output folder %s\n", options.outDir.c_str());
        return 1;
    }
    const std::string csvPath = options.csv.empty() ? outDir + "\\capture.csv" : host::FullPath(options.csv);

    orvane::ComApartment apartment;
    if (FAILED(apartment.Result())) {
        std::fprintf(stderr, "orvane-capture: error: COM could not be initialised\n");
        return 1;
    }
    std::unique_ptr<host::DebugOutputReader> reader;
    if (options.log) {
        reader = std::make_unique<host::DebugOutputReader>();
    }

    std::printf("Orvane capture: %s\n", profilePath.c_str());
    host::SessionSettings settings;
    settings.profilePath = profilePath;
    settings.buffers = static_cast<short>(options.buffers);
    settings.creation = options.direct ? host::Creation::ModuleFile : host::Creation::Registered;
    settings.format = options.format;
    // Before the object exists: the module reads them when the grab starts.
    if (!capture::StoreTimeSourceOptions(settings.registryPath, options, error)) {
        return Fail(error, reader.get());
    }
    host::GrabberSession session;
    if (!session.Open(settings, error)) {
        if (session.FormatResult() == host::FormatOutcome::NoSuchChoice) {
            std::fprintf(stderr, "orvane-capture: %s\n", error.c_str());
            return 2;
        }
        return Fail(error, reader.get());
    }
    std::string formatNote;
    if (session.FormatResult() == host::FormatOutcome::NotSelectable) {
        formatNote = "--format \"" + options.format + "\" ignored: " + session.FormatNote();
        std::printf("  warning: %s\n", formatNote.c_str());
    }
    // The board library the module loaded; the vendor's own keeps no counts for us.
    const host::BoardControl board;
    if (const std::string missing = board.MissingFigures(); !missing.empty()) {
        std::printf("  not available from this board library: %s\n", missing.c_str());
    }

    // A module that does not describe its frames leaves the size to the profile and the layout to
    // the format it has (BGR 32 when it does not say).
    host::ImageGeometry geometry = session.Geometry();
    const bool geometryFromProfile = !geometry.reported;
    if (geometryFromProfile) {
        if (geometry.formatType < 0) {
            geometry.formatType = 6;
            geometry.formatName = "BGR 32";
        }
        const int bits = capture::BitsPerPixelOf(geometry.formatType);
        geometry.width = profile->width;
        geometry.height = profile->height;
        geometry.bitsPerPixel = bits > 0 ? bits : 32;
        geometry.imageBytes = geometry.width * geometry.height * geometry.bitsPerPixel / 8;
    }
    const capture::FrameLayout layout{geometry.width, geometry.height, geometry.bitsPerPixel, geometry.formatType};
    const double nominal = profile->NominalFrameRate();
    const double expectedSeconds = options.frames > 0 ? static_cast<double>(options.frames) / (nominal > 0 ? nominal : 30) : options.seconds;
    // With --frames alone the run still ends: twice the time the frames should take, plus 10 s.
    const double limitSeconds = options.seconds > 0 ? options.seconds : expectedSeconds * 2 + 10;
    const size_t expectedFrames = options.frames > 0 ? static_cast<size_t>(options.frames)
                                                     : static_cast<size_t>(limitSeconds * (nominal > 0 ? nominal : 60) * 1.2) + 16;
    capture::FrameRecorder recorder(layout, options.saveEvery, outDir, expectedFrames, board);

    board.ResetCounters();
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const LONGLONG started = Now();
    if (!session.Start(recorder, options.frames, error)) {
        std::string ignored;
        session.Stop(ignored);
        return Fail(error, reader.get());
    }

    // Progress, a quarter of a second apart, until the frames are in or the time is up.
    const LONGLONG deadline = started + static_cast<LONGLONG>(limitSeconds * static_cast<double>(frequency.QuadPart));
    std::uint64_t lastDelivered = 0;
    LONGLONG lastTime = started;
    bool reachedFrames = false;
    for (;;) {
        const LONGLONG now = Now();
        const LONGLONG left = deadline - now;
        if (left <= 0) {
            break;
        }
        const DWORD wait = static_cast<DWORD>(std::min<LONGLONG>(250, left * 1000 / frequency.QuadPart + 1));
        if (session.WaitForFrames(wait)) {
            reachedFrames = true;
            break;
        }
        const LONGLONG after = Now();
        const host::SessionCounters c = session.Counters();
        const double fps = static_cast<double>(c.delivered - lastDelivered) * static_cast<double>(frequency.QuadPart) /
                           static_cast<double>(after - lastTime);
        lastDelivered = c.delivered;
        lastTime = after;
        if (board.HasCounters()) {
            std::printf("\r  frames %8" PRIu64 "   %7.2f fps   dropped %6" PRId64 "   overruns grab %6" PRIu64 " read %6" PRIu64 "  ",
                        c.delivered, fps, board.ReadCounters().Dropped(), c.grabOverruns, c.readOverruns);
        } else {
            std::printf("\r  frames %8" PRIu64 "   %7.2f fps   overruns grab %6" PRIu64 " read %6" PRIu64 "  ", c.delivered, fps,
                        c.grabOverruns, c.readOverruns);
        }
        std::fflush(stdout);
    }
    const LONGLONG stopped = Now();
    const capture::TimeSourceState timeSource = capture::ReadTimeSourceState(settings.registryPath, session.Object());
    std::string stopError;
    const bool stoppedCleanly = session.Stop(stopError);
    if (stoppedCleanly) {
        recorder.FinishImages();
    }
    std::printf("\r%78s\r", "");

    capture::CaptureResult result;
    result.profilePath = profilePath;
    result.profile = *profile;
    result.geometry = geometry;
    result.geometryFromProfile = geometryFromProfile;
    result.formatNote = formatNote;
    result.buffers = options.buffers;
    result.elapsedSeconds = static_cast<double>(stopped - started) / static_cast<double>(frequency.QuadPart);
    result.counters = session.Counters();
    if (board.HasCounters()) {
        result.board = board.ReadCounters();
    }
    result.module = session.FrameCounts();
    result.maxReadyCount = session.MaxReadyCount();
    result.qpcFrequency = frequency.QuadPart;
    result.savedImages = recorder.SavedImages();
    result.nullPixelFrames = recorder.NullPixelFrames();
    if (stoppedCleanly) {
        std::string csvError;
        if (capture::WriteCsv(csvPath, recorder.Frames(), frequency.QuadPart, csvError)) {
            result.csvPath = csvPath;
        } else {
            std::fprintf(stderr, "orvane-capture: warning: %s\n", csvError.c_str());
        }
    }
    capture::PrintSummary(stdout, result, stoppedCleanly ? recorder.Frames() : std::vector<capture::FrameRecord>{});
    capture::PrintTimeSource(stdout, timeSource);
    for (const std::string& problem : recorder.Problems()) {
        std::printf("  warning: %s\n", problem.c_str());
    }
    PrintDiagnostics(reader.get());
    std::fflush(stdout);

    if (!stoppedCleanly) {
        std::fprintf(stderr, "orvane-capture: error: %s\n", stopError.c_str());
        return 1;
    }
    if (result.counters.delivered == 0) {
        std::fprintf(stderr, "orvane-capture: error: no frame arrived in %.1f s\n", result.elapsedSeconds);
        return 1;
    }
    if (options.frames > 0 && !reachedFrames) {
        std::fprintf(stderr, "orvane-capture: error: only %" PRIu64 " of %" PRIu64 " frames arrived in %.1f s\n", result.counters.delivered,
                     options.frames, result.elapsedSeconds);
        return 1;
    }
    return 0;
}
