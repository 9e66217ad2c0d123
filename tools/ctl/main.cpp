// orvane-ctl: lists and changes the grabber's settings and adjustments, runs its white balance and
// chooses its profile, through the module's host interfaces only, as a host's property pages do.
#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "CorvathSdk.h"
#include "platform/ComApartment.h"
#include "platform/ComPtr.h"
#include "platform/UniqueBstr.h"
#include "tools/common/ComErrorText.h"
#include "tools/common/ExitCodes.h"
#include "tools/common/GrabberFactory.h"
#include "tools/common/ProcessDebugLog.h"
#include "tools/common/ProfileInfo.h"
#include "tools/common/RegistryPath.h"
#include "tools/common/RememberedSettings.h"
#include "tools/common/ToolListings.h"
#include "tools/common/WindowGuard.h"
#include "tools/ctl/Controls.h"
#include "tools/ctl/CtlOptions.h"
#include "tools/ctl/CtlReport.h"

using namespace orvane;
using host::SettingsKey;

namespace {

constexpr char kTool[] = "orvane-ctl";

int Fail(const std::string& message, int code = host::kExitFailed)
{
    std::fflush(stdout);
    std::fprintf(stderr, "%s: error: %s\n", kTool, message.c_str());
    return code;
}

template <typename Interface>
bool Query(const ComPtr<ICorvathGenericGrabber>& grabber, REFIID iid, ComPtr<Interface>& out, const char* what,
           std::string& error)
{
    const HRESULT result = grabber.QueryTo(iid, out);
    if (FAILED(result)) {
        error = std::string("the grabber has no ") + what + " interface: " + host::DescribeFailure(result);
        return false;
    }
    return true;
}

// The board library's own words for its last refusal since line `from` of the module's log.
std::string BoardReason(const host::ProcessDebugLog& log, size_t from)
{
    const std::string line = log.LastContaining("Orvane - error at line #", from);
    return line.empty() ? std::string() : "; the board library said: " + line.substr(line.find(": ") + 2);
}

void PrintDiagnostics(std::FILE* out, const host::ProcessDebugLog& log)
{
    const std::vector<std::string> lines = log.Lines();
    std::fprintf(out, "Module diagnostics (%zu lines):\n", lines.size() + log.Dropped());
    for (const std::string& line : lines) {
        std::fprintf(out, "  %s\n", line.c_str());
    }
}

// Everything after the command line: the exit code.
int Run(const ctl::CtlOptions& options, const host::ProcessDebugLog& log)
{
    const bool json = options.common.json;
    std::FILE* out = stdout;
    std::FILE* notes = json ? stderr : stdout;  // what is not the JSON
    std::string error;

    host::RememberedSettings remembered(options.common.registryPath);
    if (options.common.reset) {
        std::string names;
        for (const std::string& name : remembered.Forget()) {
            names += (names.empty() ? "" : ", ") + name;
        }
        std::fprintf(notes, "Forgot: %s\n", names.empty() ? "nothing was remembered" : names.c_str());
    }
    if (options.common.listBoards || options.common.listProfiles) {
        if (const int code = host::PrintListings(kTool, options.common, out); code != host::kExitSuccess || !options.NeedsGrabber()) {
            return code;
        }
    }
    if (!options.NeedsGrabber()) {
        return host::kExitSuccess;
    }

    // The module reads the board file and the board while it starts: both are in place before the
    // object exists, and put back when it cannot start with them.
    bool browse = options.browse;
    if (!options.profile.empty()) {
        const std::string file = host::FullPath(options.profile);
        if (file.empty() || !host::FileExists(file)) {
            return Fail("profile not found: " + options.profile);
        }
        if (!remembered.SetString(SettingsKey::Module, "Board File", file, error)) {
            return Fail(error);
        }
    } else if (remembered.ReadString(SettingsKey::Module, "Board File").empty()) {
        if (!options.browse) {
            return Fail("no board file is remembered under HKCU\\" + host::Narrow(host::ModuleKeyOf(options.common.registryPath)) +
                        ": give one with --profile FILE, or choose one with --browse");
        }
        // With no board file at all the module opens its dialog while it starts: --browse asks once.
        browse = false;
    }
    if (!options.common.board.empty() && !remembered.SetString(SettingsKey::Module, "Board Serial", options.common.board, error)) {
        return Fail(error);
    }
    // The white balance's question is one this tool answers itself (--yes, --no or the console), so
    // the module is let ask it; every other window it might open the guard closes.
    const bool unattended = !options.common.interactive && !options.whiteBalance;
    if (!remembered.SetDword(SettingsKey::Module, "Unattended", unattended ? 1 : 0, error)) {
        return Fail(error);
    }
    std::optional<host::WindowGuard> guard;
    if (!options.common.interactive) {
        guard.emplace(options.answer, notes);
    }
    auto windowsClosed = [&guard]() {
        std::string text;
        if (guard) {
            for (const std::string& window : guard->Closed()) {
                text += "; the module opened a window, closed unanswered: " + window;
            }
        }
        return text;
    };

    host::GrabberFactory factory;
    ComPtr<ICorvathGenericGrabber> grabber;
    if (FAILED(factory.Create(options.common.direct ? host::Creation::ModuleFile : host::Creation::Registered, grabber, error))) {
        return Fail(error);
    }
    {
        const std::wstring& path = options.common.registryPath;
        BSTR bstr = SysAllocStringLen(path.data(), static_cast<UINT>(path.size()));
        const HRESULT result = grabber->InitializeGrabber(bstr);
        SysFreeString(bstr);
        if (FAILED(result)) {
            remembered.Restore(SettingsKey::Module, "Board File");
            remembered.Restore(SettingsKey::Module, "Board Serial");
            return Fail("the grabber could not be initialised: " + host::DescribeFailure(result) + BoardReason(log, 0) + windowsClosed());
        }
    }
    ComPtr<ICorvathSettingsProp> settings;
    ComPtr<ICorvathAdjustment> adjustments;
    ComPtr<ICorvathConfigurationFileProp> configuration;
    ComPtr<ICorvathGenericButtonClickProp> buttons;
    ComPtr<ICorvathImageProp> image;
    ComPtr<ICorvathBufferUsageProp> usage;
    if (!Query(grabber, IID_ICorvathSettingsProp, settings, "settings", error) ||
        !Query(grabber, IID_ICorvathAdjustment, adjustments, "adjustment", error) ||
        !Query(grabber, IID_ICorvathConfigurationFileProp, configuration, "configuration file", error) ||
        !Query(grabber, IID_ICorvathGenericButtonClickProp, buttons, "button", error) ||
        !Query(grabber, IID_ICorvathImageProp, image, "image", error) ||
        !Query(grabber, IID_ICorvathBufferUsageProp, usage, "buffer usage", error)) {
        return Fail(error);
    }

    if (browse) {
        const HRESULT result = configuration->BrowseConfigurationFile();
        if (FAILED(result)) {
            return Fail("no board file chosen: " + host::DescribeFailure(result));
        }
    }

    // The lists are read after the file is settled; a setting change rebuilds them in the module,
    // so they are read again after each set.
    for (const auto& [name, value] : options.sets) {
        ctl::Controls controls(settings.Get(), adjustments.Get());
        ctl::Control control;
        if (!controls.Load(error)) {
            return Fail(error);
        }
        if (!controls.Find(name, control, error)) {
            return Fail(error, host::kExitUsage);
        }
        const size_t logBefore = log.Lines().size();
        if (const int code = controls.Set(control, value, error); code != host::kExitSuccess) {
            return Fail(error + (code == host::kExitValueNotTaken ? BoardReason(log, logBefore) : std::string()), code);
        }
        std::fprintf(notes, "%s\n", controls.Describe(control).c_str());
    }
    ctl::Controls controls(settings.Get(), adjustments.Get());
    if (!controls.Load(error)) {
        return Fail(error);
    }
    for (const std::string& name : options.gets) {
        ctl::Control control;
        if (!controls.Find(name, control, error)) {
            return Fail(error, host::kExitUsage);
        }
        std::fprintf(notes, "%s\n", controls.Describe(control).c_str());
    }

    int exitCode = host::kExitSuccess;
    if (options.whiteBalance) {
        SHORT count = 0;
        UniqueBstr name;
        HRESULT result = buttons->GetButtonCount(&count);
        if (SUCCEEDED(result) && count >= 1) {
            result = buttons->GetButtonName(0, name.Put());
        }
        if (FAILED(result) || count < 1) {
            return Fail("the grabber offers no button" + (FAILED(result) ? ": " + host::DescribeFailure(result) : ""));
        }
        std::fprintf(notes, "%s ...\n", host::Narrow(name.Get() != nullptr ? name.Get() : L"").c_str());
        std::fflush(notes);
        const size_t logBefore = log.Lines().size();
        result = buttons->ButtonClicked(0);
        if (FAILED(result)) {
            return Fail("the white balance failed: " + host::DescribeFailure(result));
        }
        // The module tells its failures only in its diagnostics: without the question it failed.
        if (!guard || !guard->Asked()) {
            exitCode = Fail("the white balance did not complete on the board (no signal?); nothing was changed" + BoardReason(log, logBefore));
        } else {
            std::fprintf(notes, guard->Kept() ? "The new colour calibration is kept and written into the profile.\n"
                                              : "The original colour calibration is restored.\n");
        }
    }

    std::optional<ctl::Controls> fresh;
    if (options.list) {
        fresh.emplace(settings.Get(), adjustments.Get());
        if (!fresh->Load(error)) {
            return Fail(error);
        }
    }
    std::optional<ctl::ImageInfo> info;
    if (options.info) {
        info = ctl::ReadImageInfo(*image.Get(), *usage.Get(), controls);
    }
    std::optional<std::string> profile;
    if (options.showProfile) {
        UniqueBstr path;
        const HRESULT result = configuration->GetConfigurationFile(path.Put());
        if (FAILED(result)) {
            return Fail("cannot read the configuration file: " + host::DescribeFailure(result));
        }
        profile = host::Narrow(path.Get() != nullptr ? path.Get() : L"");
    }
    if (json) {
        std::fprintf(out, "%s\n",
                     ctl::ControlsJson(fresh ? &*fresh : nullptr, info ? &*info : nullptr, info ? &remembered : nullptr,
                                       profile ? &*profile : nullptr)
                         .c_str());
    } else {
        if (fresh) {
            fresh->PrintList(out);
        }
        if (info) {
            ctl::PrintInfo(out, *info, remembered);
        }
        if (profile) {
            std::fprintf(out, "Profile: %s\n", profile->c_str());
        }
    }
    if (std::fflush(out) != 0 && exitCode == host::kExitSuccess) {
        exitCode = Fail("cannot write to standard output", host::kExitOutputFailed);
    }
    return exitCode;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string error;
    const auto parsed = ctl::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!parsed) {
        return Fail(error + " (see --help)", host::kExitUsage);
    }
    if (parsed->help) {
        std::fputs(ctl::UsageText().c_str(), stdout);
        return host::kExitSuccess;
    }
    if (parsed->version) {
        std::printf("%s\n", host::VersionText(kTool).c_str());
        return host::kExitSuccess;
    }
    orvane::ComApartment apartment;
    if (FAILED(apartment.Result())) {
        return Fail("COM could not be initialised");
    }
    // The module's diagnostics, collected from the start: the reasons it gives for what it refuses.
    const host::ProcessDebugLog log;
    const int code = Run(*parsed, log);
    if (parsed->common.log) {
        PrintDiagnostics(parsed->common.json ? stderr : stdout, log);
    }
    return code;
}
