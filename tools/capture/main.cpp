// orvane-capture: captures live video through the Orvane grabber module exactly as a host
// application does, and reports what arrived.
#include <windows.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ComApartment.h"
#include "tools/capture/CaptureJson.h"
#include "tools/capture/CaptureOptions.h"
#include "tools/capture/CaptureReport.h"
#include "tools/capture/ConsoleInterrupt.h"
#include "tools/capture/CsvWriter.h"
#include "tools/capture/FrameRecorder.h"
#include "tools/capture/FrameStream.h"
#include "tools/capture/TimeSourceSetup.h"
#include "tools/capture/ViewableImage.h"
#include "tools/common/BoardControl.h"
#include "tools/common/ExitCodes.h"
#include "tools/common/GrabberSession.h"
#include "tools/common/ProcessDebugLog.h"
#include "tools/common/ProfileInfo.h"
#include "tools/common/RememberedSettings.h"
#include "tools/common/ToolListings.h"
#include "tools/common/WindowGuard.h"

using namespace orvane;
using host::SettingsKey;

namespace {

constexpr char kTool[] = "orvane-capture";
constexpr char kDefaultProfile[] = "profiles\\orvane-1920x1080-60-dvi.chp";

LONGLONG Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

void PrintDiagnostics(std::FILE* out, const host::ProcessDebugLog& log)
{
    if (!log.Active()) {
        std::fprintf(out, "\nModule diagnostics: not available (a debugger takes them)\n");
        return;
    }
    const std::vector<std::string> lines = log.Lines();
    std::fprintf(out, "\nModule diagnostics (%zu lines):\n", lines.size() + log.Dropped());
    constexpr size_t kShown = 200;
    for (size_t i = 0; i < lines.size() && i < kShown; ++i) {
        std::fprintf(out, "  %s\n", lines[i].c_str());
    }
    if (lines.size() + log.Dropped() > kShown) {
        std::fprintf(out, "  ... %zu more\n", lines.size() + log.Dropped() - kShown);
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

int Fail(int code, const std::string& message)
{
    std::fflush(stdout);
    std::fprintf(stderr, "%s: error: %s\n", kTool, message.c_str());
    return code;
}

// Why the grabber did not start, in the module's words and, where it logged one, the board
// library's (the status text names the key of a profile it refused), and any window it opened.
std::string InitialisationFailure(const std::string& error, const host::ProcessDebugLog& log, size_t logFrom,
                                  const host::WindowGuard* guard)
{
    std::string reason = error;
    const std::string board = log.LastContaining("Orvane - error at line #", logFrom);
    if (!board.empty()) {
        reason += "; the board library said: " + board.substr(board.find(": ") + 2);
    }
    if (guard != nullptr) {
        for (const std::string& window : guard->Closed()) {
            reason += "; the module opened a window, closed unanswered: " + window;
        }
    }
    return reason;
}

// The profile to capture with: the one given, else the one remembered, else the bundled one.
// `store` is set for a profile the module has not been told yet.
bool ChooseProfile(const capture::CaptureOptions& options, const host::RememberedSettings& remembered, std::string& path, bool& store,
                   std::string& error)
{
    store = true;
    if (!options.profile.empty()) {
        path = host::FullPath(options.profile);
    } else if (const std::string kept = remembered.ReadString(SettingsKey::Module, "Board File"); !kept.empty()) {
        path = kept;
        store = false;
        if (!host::FileExists(path)) {
            error = "the remembered board file " + path + " no longer exists: give --profile FILE, or forget it with --reset";
            return false;
        }
    } else {
        path = host::FullPath(host::ProgramFolder() + kDefaultProfile);
    }
    if (path.empty() || !host::FileExists(path)) {
        error = "profile not found: " + (path.empty() ? options.profile : path);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string error;
    const auto parsed = capture::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!parsed) {
        return Fail(host::kExitUsage, error + " (see --help)");
    }
    const capture::CaptureOptions& options = *parsed;
    if (options.help) {
        std::fputs(capture::UsageText().c_str(), stdout);
        return host::kExitSuccess;
    }
    if (options.version) {
        std::printf("%s\n", host::VersionText(kTool).c_str());
        return host::kExitSuccess;
    }
    // Standard output carries the frames with --stream-to -, and then nothing else.
    std::FILE* text = options.StreamsToStandardOutput() ? stderr : stdout;
    const bool json = options.common.json;

    host::RememberedSettings remembered(options.common.registryPath);
    if (options.common.reset) {
        const std::vector<std::string> forgotten = remembered.Forget();
        std::string names;
        for (const std::string& name : forgotten) {
            names += (names.empty() ? "" : ", ") + name;
        }
        std::fprintf(json ? stderr : text, "Forgot: %s\n", names.empty() ? "nothing was remembered" : names.c_str());
    }
    if (options.common.listBoards || options.common.listProfiles) {
        return host::PrintListings(kTool, options.common, text);
    }

    std::string profilePath;
    bool storeProfile = false;
    if (!ChooseProfile(options, remembered, profilePath, storeProfile, error)) {
        return Fail(host::kExitFailed, error);
    }
    const auto profile = host::ReadProfile(profilePath);
    const std::string outDir = host::FullPath(options.outDir);
    if (outDir.empty() || !PrepareOutputFolder(outDir)) {
        return Fail(host::kExitOutputFailed, "cannot use the output folder " + options.outDir);
    }
    const std::string csvPath = options.csv.empty() ? outDir + "\\capture.csv" : host::FullPath(options.csv);

    orvane::ComApartment apartment;
    if (FAILED(apartment.Result())) {
        return Fail(host::kExitFailed, "COM could not be initialised");
    }
    // The module's diagnostics, collected from here on: the reasons it gives for what it refuses.
    const host::ProcessDebugLog log;

    // Everything the module reads while it starts is in place before the object exists; what was
    // given now and turns out unusable is put back afterwards.
    if ((storeProfile && !remembered.SetString(SettingsKey::Module, "Board File", profilePath, error)) ||
        (!options.common.board.empty() && !remembered.SetString(SettingsKey::Module, "Board Serial", options.common.board, error)) ||
        !capture::StoreTimeSourceOptions(remembered, options, error)) {
        return Fail(host::kExitFailed, error);
    }
    if (!json) {
        std::fprintf(text, "Orvane capture: %s\n", profilePath.c_str());
    }
    host::SessionSettings settings;
    settings.registryPath = options.common.registryPath;
    settings.unattended = !options.common.interactive;
    settings.buffers = static_cast<short>(options.buffers);
    settings.creation = options.common.direct ? host::Creation::ModuleFile : host::Creation::Registered;
    settings.format = options.format;
    std::optional<host::WindowGuard> guard;
    if (!options.common.interactive) {
        guard.emplace(host::QuestionAnswer::No, stderr);
    }
    host::GrabberSession session;
    if (!session.Open(settings, error)) {
        // A format is chosen only once the grabber started with the board file: then it stays.
        if (session.FormatResult() == host::FormatOutcome::NotAsked) {
            remembered.Restore(SettingsKey::Module, "Board File");
            remembered.Restore(SettingsKey::Module, "Board Serial");
        }
        if (session.FormatResult() == host::FormatOutcome::NoSuchChoice) {
            return Fail(host::kExitUsage, error);
        }
        const std::string reason = InitialisationFailure(error, log, 0, guard ? &*guard : nullptr);
        if (options.common.log) {
            PrintDiagnostics(stderr, log);
        }
        return Fail(host::kExitFailed, reason);
    }
    capture::CaptureOutcome outcome;
    std::string formatNote;
    if (session.FormatResult() == host::FormatOutcome::NotSelectable) {
        formatNote = "--format \"" + options.format + "\" ignored: " + session.FormatNote();
        outcome.warnings.push_back(formatNote);
    }
    // The board library the module loaded; the vendor's own keeps no counts for us.
    const host::BoardControl board;
    if (const std::string missing = board.MissingFigures(); !missing.empty() && !json) {
        std::fprintf(text, "  not available from this board library: %s\n", missing.c_str());
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

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    // The outputs are opened before the grab: one that cannot be written ends the run before it
    // starts rather than after it.
    capture::CsvWriter csv(csvPath, frequency.QuadPart);
    if (csv.Failed()) {
        return Fail(host::kExitOutputFailed, csv.Error());
    }
    std::unique_ptr<capture::FrameStream> stream;
    if (!options.streamTo.empty()) {
        stream = std::make_unique<capture::FrameStream>(options.streamTo);
        if (stream->Failed()) {
            return Fail(host::kExitOutputFailed, stream->Error());
        }
        const std::string name = geometry.formatName.empty() ? "type " + std::to_string(geometry.formatType) : "\"" + geometry.formatName + "\"";
        std::fprintf(stderr, "%s: streaming raw frames to %s: %ld x %ld, %s, %ld bits per pixel, %ld bytes per frame\n", kTool,
                     options.StreamsToStandardOutput() ? "standard output" : options.streamTo.c_str(), geometry.width, geometry.height,
                     name.c_str(), geometry.bitsPerPixel, geometry.imageBytes);
    }

    const capture::FrameLayout layout{geometry.width, geometry.height, geometry.bitsPerPixel, geometry.formatType};
    const double nominal = profile->NominalFrameRate() > 0 ? profile->NominalFrameRate() : 60;
    // With --frames alone the run still ends: twice the time the frames should take, plus 10 s.
    const double limitSeconds = options.seconds > 0 ? options.seconds : static_cast<double>(options.frames) / nominal * 2 + 10;
    const double expectedFrames = options.frames > 0 ? static_cast<double>(options.frames) : limitSeconds * nominal * 1.2 + 16;
    capture::FrameOutputs outputs;
    outputs.csv = &csv;
    outputs.stream = stream.get();
    outputs.frameBytes = static_cast<size_t>(geometry.imageBytes);
    capture::FrameRecorder recorder(layout, options.saveEvery, outDir, static_cast<size_t>(std::min(expectedFrames, 1e9)), board, outputs);

    const capture::ConsoleInterrupt interrupt;
    board.ResetCounters();
    const size_t logBeforeStart = log.Lines().size();
    const LONGLONG started = Now();
    if (!session.Start(recorder, options.frames, error)) {
        std::string ignored;
        session.Stop(ignored);
        if (options.common.log) {
            PrintDiagnostics(stderr, log);
        }
        return Fail(host::kExitFailed, InitialisationFailure(error, log, logBeforeStart, guard ? &*guard : nullptr));
    }

    // Progress on standard error, a quarter of a second apart, until the frames are in, the time
    // is up or Ctrl-C comes.
    const double limitTicks = std::min(limitSeconds * static_cast<double>(frequency.QuadPart), 9e18);
    const LONGLONG deadline = started + static_cast<LONGLONG>(std::min(limitTicks, 9e18 - static_cast<double>(started)));
    std::uint64_t lastDelivered = 0;
    LONGLONG lastTime = started;
    bool reachedFrames = false;
    for (;;) {
        const LONGLONG left = deadline - Now();
        if (left <= 0 || interrupt.Interrupted()) {
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
            std::fprintf(stderr, "\r  frames %8" PRIu64 "   %7.2f fps   dropped %6" PRId64 "   waits grab %6" PRIu64 " read %6" PRIu64 "  ",
                         c.delivered, fps, board.ReadCounters().Dropped(), c.grabOverruns, c.readOverruns);
        } else {
            std::fprintf(stderr, "\r  frames %8" PRIu64 "   %7.2f fps   waits grab %6" PRIu64 " read %6" PRIu64 "  ", c.delivered, fps,
                         c.grabOverruns, c.readOverruns);
        }
        std::fflush(stderr);
    }
    const LONGLONG stopped = Now();
    outcome.interrupted = interrupt.Interrupted();
    const capture::TimeSourceState timeSource =
        capture::ReadTimeSourceState(options.common.registryPath, session.Object(), log, logBeforeStart);
    std::string stopError;
    const bool stoppedCleanly = session.Stop(stopError);
    if (stoppedCleanly) {
        recorder.FinishImages();
    }
    std::fprintf(stderr, "\r%78s\r", "");
    const bool csvWritten = csv.Close();

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
    result.csvPath = csv.Path();
    result.csvRows = csv.Rows();
    if (stream) {
        result.streamTarget = options.StreamsToStandardOutput() ? "standard output" : options.streamTo;
        result.streamedFrames = stream->Frames();
    }
    const std::vector<capture::FrameRecord> noFrames;
    const std::vector<capture::FrameRecord>& frames = stoppedCleanly ? recorder.Frames() : noFrames;

    // The exit code: the first of these that applies.
    std::vector<std::string> outputFailures;
    if (!csvWritten) {
        outputFailures.push_back(csv.Error());
    }
    if (stream && stream->Failed()) {
        outputFailures.push_back(stream->Error());
    }
    for (const std::string& failure : recorder.ImageFailures()) {
        outputFailures.push_back(failure);
    }
    if (timeSource.refused) {
        // Not remembered for later runs either: the module would refuse it again.
        remembered.Restore(SettingsKey::Host, "TimeSourceDLL");
    }
    if (!stoppedCleanly) {
        outcome.exitCode = host::kExitFailed;
        outcome.error = stopError;
    } else if (result.counters.delivered == 0) {
        outcome.exitCode = host::kExitFailed;
        char text[96];
        std::snprintf(text, sizeof text, "no frame arrived in %.1f s", result.elapsedSeconds);
        outcome.error = InitialisationFailure(text, log, logBeforeStart, guard ? &*guard : nullptr);
    } else if (options.frames > 0 && options.seconds == 0 && !reachedFrames && !outcome.interrupted) {
        outcome.exitCode = host::kExitFailed;
        char text[128];
        std::snprintf(text, sizeof text, "only %" PRIu64 " of %" PRIu64 " frames arrived in %.1f s", result.counters.delivered, options.frames,
                      result.elapsedSeconds);
        outcome.error = text;
    } else if (outcome.interrupted) {
        outcome.exitCode = host::kExitInterrupted;
        outcome.error = "interrupted; the summary and the CSV hold what was captured until then";
    } else if (!outputFailures.empty()) {
        outcome.exitCode = host::kExitOutputFailed;
        outcome.error = outputFailures.front();
    } else if (timeSource.refused) {
        outcome.exitCode = host::kExitTimeSourceRefused;
        outcome.error = "the module did not use the time source " + timeSource.configured + ": " + timeSource.reason;
    }
    for (const std::string& failure : outputFailures) {
        if (failure != outcome.error) {
            outcome.warnings.push_back(failure);
        }
    }
    outcome.warnings.insert(outcome.warnings.end(), recorder.Problems().begin(), recorder.Problems().end());
    if (guard) {
        for (const std::string& window : guard->Closed()) {
            outcome.warnings.push_back("the module opened a window, closed unanswered: " + window);
        }
    }

    if (json) {
        std::fprintf(stdout, "%s\n", capture::SummaryJson(result, frames, timeSource, remembered.Read(), outcome).c_str());
    } else {
        capture::PrintSummary(text, result, frames);
        capture::PrintTimeSource(text, timeSource);
        remembered.Print(text, "  ");
        for (const std::string& warning : outcome.warnings) {
            if (warning != formatNote) {
                std::fprintf(text, "  warning: %s\n", warning.c_str());
            }
        }
    }
    if (options.common.log) {
        PrintDiagnostics(json ? stderr : text, log);
    }
    if (std::fflush(text) != 0 && outcome.exitCode == host::kExitSuccess) {
        outcome.exitCode = host::kExitOutputFailed;
        outcome.error = "cannot write the summary";
    }
    if (outcome.exitCode != host::kExitSuccess) {
        std::fprintf(stderr, "%s: error: %s\n", kTool, outcome.error.c_str());
    }
    return outcome.exitCode;
}
