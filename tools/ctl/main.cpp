// orvane-ctl: lists and changes the grabber's settings and adjustments, runs its white balance and
// chooses its profile, through the module's host interfaces only, as a host's property pages do.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "CorvathSdk.h"
#include "platform/ComApartment.h"
#include "platform/ComPtr.h"
#include "platform/RegistryKey.h"
#include "platform/UniqueBstr.h"
#include "tools/common/ComErrorText.h"
#include "tools/common/GrabberFactory.h"
#include "tools/common/ProfileInfo.h"
#include "tools/ctl/Controls.h"
#include "tools/ctl/CtlOptions.h"
#include "tools/ctl/QuestionAnswerer.h"

using namespace orvane;

namespace {

int Fail(const std::string& message, int code = 1)
{
    std::fflush(stdout);
    std::fprintf(stderr, "orvane-ctl: error: %s\n", message.c_str());
    return code;
}

// The board file a host remembers under its module key, as the module reads it.
std::string RememberedBoardFile(const std::wstring& moduleKey)
{
    RegistryKey key;
    if (key.Create(HKEY_CURRENT_USER, moduleKey.c_str(), KEY_QUERY_VALUE) != ERROR_SUCCESS) {
        return {};
    }
    wchar_t path[MAX_PATH + 1] = {};
    DWORD size = sizeof path - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key.Get(), L"Board File", nullptr, &type, reinterpret_cast<BYTE*>(path), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return {};
    }
    return host::Narrow(path);
}

bool StoreBoardFile(const std::wstring& moduleKey, const std::string& file, std::string& error)
{
    RegistryKey key;
    LONG status = key.Create(HKEY_CURRENT_USER, moduleKey.c_str(), KEY_SET_VALUE);
    if (status == ERROR_SUCCESS) {
        const std::wstring wide = host::Widen(file);
        status = RegSetValueExW(key.Get(), L"Board File", 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                                static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
    }
    if (status != ERROR_SUCCESS) {
        error = "cannot store the board file under HKCU\\" + host::Narrow(moduleKey) + ": " +
                host::DescribeFailure(HRESULT_FROM_WIN32(status));
        return false;
    }
    return true;
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

void PrintInfo(ICorvathImageProp* image, ICorvathBufferUsageProp* usage, const ctl::Controls& controls)
{
    LONG width = 0, height = 0, third = 0, fourth = 0, bits = 0, significant = 0, code = 0, bytes = 0;
    if (FAILED(image->GetImageFormat(&width, &height, &third, &fourth))) {
        host::TakeErrorDescription();
    }
    image->GetBitsPerPixel(&bits);
    image->GetSignificantBits(&significant);
    image->GetImageFormatCode(&code);
    image->GetImageSize(&bytes);
    LONG ready = 0, maxReady = 0, total = 0;
    usage->GetReadyCount(&ready);
    usage->GetMaxReadyCount(&maxReady);
    usage->GetTotalBufferCount(&total);
    ctl::Control format;
    std::string ignored;
    std::printf("Image:\n");
    std::printf("  geometry         %ld x %ld\n", static_cast<long>(width), static_cast<long>(height));
    if (controls.Find("Image Format", format, ignored)) {
        std::printf("  format           %s\n", controls.Describe(format).substr(std::string("Image Format = ").size()).c_str());
    }
    std::printf("  bits per pixel   %ld (%ld significant)\n", static_cast<long>(bits), static_cast<long>(significant));
    std::printf("  format code      %ld\n", static_cast<long>(code));
    std::printf("  image size       %ld bytes\n", static_cast<long>(bytes));
    std::printf("Buffers:\n");
    std::printf("  ready %ld, most ready %ld, total %ld\n", static_cast<long>(ready), static_cast<long>(maxReady),
                static_cast<long>(total));
}

}  // namespace

int main(int argc, char** argv)
{
    std::string error;
    const auto parsed = ctl::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!parsed) {
        std::fprintf(stderr, "orvane-ctl: %s\n\n%s", error.c_str(), ctl::UsageText());
        return 2;
    }
    const ctl::CtlOptions& options = *parsed;
    if (options.help) {
        std::fputs(ctl::UsageText(), stdout);
        return 0;
    }

    // Without a board file the module would ask for one in a dialog; unless that is what the user
    // wants, say so instead.
    const std::wstring moduleKey = options.registryPath + L"Orvane";
    // With no board file at all the module opens its dialog while it starts; --browse then asks once.
    bool browse = options.browse;
    if (!options.profile.empty()) {
        const std::string file = host::FullPath(options.profile);
        if (file.empty() || !host::FileExists(file)) {
            return Fail("profile not found: " + options.profile);
        }
        if (!StoreBoardFile(moduleKey, file, error)) {
            return Fail(error);
        }
    } else if (RememberedBoardFile(moduleKey).empty()) {
        if (!options.browse) {
            return Fail("no board file is remembered under HKCU\\" + host::Narrow(moduleKey) +
                        ": give one with --profile FILE, or choose one with --browse");
        }
        browse = false;
    }

    orvane::ComApartment apartment;
    if (FAILED(apartment.Result())) {
        return Fail("COM could not be initialised");
    }
    host::GrabberFactory factory;
    ComPtr<ICorvathGenericGrabber> grabber;
    if (FAILED(factory.Create(options.direct ? host::Creation::ModuleFile : host::Creation::Registered, grabber,
                              error))) {
        return Fail(error);
    }
    {
        BSTR path = SysAllocStringLen(options.registryPath.data(), static_cast<UINT>(options.registryPath.size()));
        const HRESULT result = grabber->InitializeGrabber(path);
        SysFreeString(path);
        if (FAILED(result)) {
            return Fail("the grabber could not be initialised (no board, or the profile does not suit it): " +
                        host::DescribeFailure(result));
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
    int exitCode = 0;
    auto load = [&](ctl::Controls& controls) {
        if (!controls.Load(error)) {
            Fail(error);
            return false;
        }
        return true;
    };
    for (const auto& [name, value] : options.sets) {
        ctl::Controls controls(settings.Get(), adjustments.Get());
        ctl::Control control;
        if (!load(controls)) {
            return 1;
        }
        if (!controls.Find(name, control, error)) {
            return Fail(error, 2);
        }
        if (const int code = controls.Set(control, value, error); code != 0) {
            return Fail(error, code);
        }
        std::printf("%s\n", controls.Describe(control).c_str());
    }
    ctl::Controls controls(settings.Get(), adjustments.Get());
    if (!load(controls)) {
        return 1;
    }
    for (const std::string& name : options.gets) {
        ctl::Control control;
        if (!controls.Find(name, control, error)) {
            return Fail(error, 2);
        }
        std::printf("%s\n", controls.Describe(control).c_str());
    }

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
        std::printf("%s ...\n", host::Narrow(name.Get() != nullptr ? name.Get() : L"").c_str());
        std::fflush(stdout);
        ctl::QuestionAnswerer answerer(options.answer);
        if (!answerer.Started()) {
            return Fail("cannot watch for the module's question");
        }
        result = buttons->ButtonClicked(0);
        if (FAILED(result)) {
            return Fail("the white balance failed: " + host::DescribeFailure(result));
        }
        // The module tells its failures only in its diagnostics: without the question it failed.
        if (!answerer.Asked()) {
            exitCode = Fail("the white balance did not complete on the board (no signal?); nothing was changed");
        } else {
            std::printf(answerer.Kept() ? "The new colour calibration is kept and written into the profile.\n"
                                        : "The original colour calibration is restored.\n");
        }
    }

    if (options.list) {
        ctl::Controls fresh(settings.Get(), adjustments.Get());
        if (!load(fresh)) {
            return 1;
        }
        fresh.PrintList(stdout);
    }
    if (options.info) {
        PrintInfo(image.Get(), usage.Get(), controls);
    }
    if (options.showProfile) {
        UniqueBstr path;
        const HRESULT result = configuration->GetConfigurationFile(path.Put());
        if (FAILED(result)) {
            return Fail("cannot read the configuration file: " + host::DescribeFailure(result));
        }
        std::printf("Profile: %s\n", host::Narrow(path.Get() != nullptr ? path.Get() : L"").c_str());
    }
    std::fflush(stdout);
    return exitCode;
}
