#include "videosource/DeviceGrabber.h"

#include <vfwmsgs.h>

#include "platform/Diagnostics.h"
#include "platform/RegistryKey.h"
#include "platform/UniqueBstr.h"
#include "tools/common/ComErrorText.h"
#include "tools/common/ImageFormatChoice.h"
#include "tools/common/ProfileInfo.h"
#include "videosource/VideoSourceIds.h"

namespace orvane::videosource {

namespace {

constexpr wchar_t kBoardFile[] = L"Board File";
constexpr wchar_t kBoardSerial[] = L"Board Serial";
constexpr wchar_t kUnattended[] = L"Unattended";
constexpr DWORD kOpensNoWindow = 1;
// The module type it takes without listing it: 5-6-5 colour.
constexpr LONG kUnlistedType565 = 8;
// The adjustment that holds the line frequency, in Hz.
constexpr LONG kHorizontalFrequency = 5;

}  // namespace

void DeviceGrabber::LogReason(const std::string& reason) const
{
    Trace(("OrvaneVideoSource - " + host::Narrow(serial_) + ": " + reason).c_str());
}

bool DeviceGrabber::PrepareRegistry() const
{
    RegistryKey key;
    if (key.Create(HKEY_CURRENT_USER, DeviceModuleKey(serial_).c_str(), KEY_SET_VALUE) != ERROR_SUCCESS) {
        return false;
    }
    const DWORD unattended = kOpensNoWindow;
    return RegSetValueExW(key.Get(), kBoardSerial, 0, REG_SZ, reinterpret_cast<const BYTE*>(serial_.c_str()),
                          static_cast<DWORD>((serial_.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS &&
           RegSetValueExW(key.Get(), kUnattended, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&unattended),
                          sizeof unattended) == ERROR_SUCCESS;
}

std::wstring DeviceGrabber::RememberedProfile() const
{
    wchar_t path[MAX_PATH] = {};
    DWORD size = sizeof path - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, DeviceModuleKey(serial_).c_str(), kBoardFile, RRF_RT_REG_SZ, nullptr, path,
                     &size) != ERROR_SUCCESS) {
        return {};
    }
    return path;
}

bool DeviceGrabber::RememberProfile(const std::wstring& path) const
{
    RegistryKey key;
    return key.Create(HKEY_CURRENT_USER, DeviceModuleKey(serial_).c_str(), KEY_SET_VALUE) == ERROR_SUCCESS &&
           RegSetValueExW(key.Get(), kBoardFile, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                          static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

HRESULT DeviceGrabber::Open()
{
    if (grabber_) {
        return S_OK;
    }
    if (!PrepareRegistry()) {
        LogReason("cannot write the device's values under HKCU\\" + host::Narrow(DeviceModuleKey(serial_)));
        return E_ACCESSDENIED;
    }
    // Without a remembered board file the module would ask for one: say what to do instead.
    const std::wstring profile = RememberedProfile();
    if (profile.empty() || !host::FileExists(host::Narrow(profile))) {
        LogReason("no profile: choose one with orvane-ctl --registry-path '" + host::Narrow(DeviceRegistryPath(serial_)) +
                  "' --profile FILE");
        return kNoProfile;
    }
    std::string error;
    HRESULT result = factory_.Create(host::Creation::RegisteredFile, grabber_, error);
    if (FAILED(result)) {
        LogReason(error);
        grabber_.Reset();
        return result;
    }
    const std::wstring registryPath = DeviceRegistryPath(serial_);
    const UniqueBstr path(SysAllocStringLen(registryPath.data(), static_cast<UINT>(registryPath.size())));
    result = grabber_->InitializeGrabber(path.Get());
    if (FAILED(result)) {
        const std::string reason = host::TakeErrorDescription();
        grabber_.Reset();
        // The module names the profile ("CHP file", "board file") when it is at fault.
        if (reason.find("CHP") != std::string::npos || reason.find("board file") != std::string::npos) {
            LogReason("the profile does not suit the board: " + reason);
            return kNoProfile;
        }
        LogReason("the board cannot be opened: " + (reason.empty() ? host::HresultHex(result) : reason));
        return VFW_E_NO_CAPTURE_HARDWARE;
    }
    ReadFormats();
    result = grabber_->AllocateBuffers(kBuffers);
    if (FAILED(result)) {
        LogReason("cannot allocate the module's buffers: " + host::DescribeFailure(result));
        grabber_.Reset();
        return result;
    }
    ReadGeometry();
    return S_OK;
}

void DeviceGrabber::Close()
{
    grabber_.Reset();
    offered_.clear();
    settingId_ = -1;
    currentType_ = -1;
    geometry_ = {};
}

void DeviceGrabber::ReadFormats()
{
    offered_.clear();
    settingId_ = -1;
    ComPtr<ICorvathSettingsProp> settings;
    host::ImageFormatSetting setting;
    if (SUCCEEDED(grabber_.QueryTo(IID_ICorvathSettingsProp, settings)) && host::ReadImageFormatSetting(*settings.Get(), setting) == S_OK) {
        settingId_ = setting.id;
        for (const host::FormatOption& option : setting.options) {
            if (MappingForType(option.type) != nullptr) {
                offered_.push_back(option.type);
            }
        }
        offered_.push_back(kUnlistedType565);
    }
}

void DeviceGrabber::ReadGeometry()
{
    currentType_ = -1;
    ComPtr<ICorvathImageProp> image;
    LONG width = 0;
    LONG height = 0;
    if (SUCCEEDED(grabber_.QueryTo(IID_ICorvathImageProp, image))) {
        LONG third = 0;
        LONG fourth = 0;
        if (FAILED(image->GetImageFormat(&width, &height, &third, &fourth))) {
            host::TakeErrorDescription();
        }
    }
    ComPtr<ICorvathSettingsProp> settings;
    LONG type = 0;
    if (settingId_ >= 0 && SUCCEEDED(grabber_.QueryTo(IID_ICorvathSettingsProp, settings)) &&
        SUCCEEDED(settings->GetSettingValue(settingId_, &type))) {
        currentType_ = type;
    } else if (image) {
        // Without the setting the module keeps one format: the one its format code tells.
        LONG code = 0;
        LONG significant = 0;
        image->GetImageFormatCode(&code);
        image->GetSignificantBits(&significant);
        currentType_ = host::FormatTypeFromCode(code, significant);
        if (MappingForType(currentType_) != nullptr) {
            offered_.assign(1, currentType_);
        }
    }
    geometry_ = MakeGeometry(width, height, FrameRate());
}

double DeviceGrabber::FrameRate() const
{
    ComPtr<ICorvathConfigurationFileProp> file;
    UniqueBstr path;
    if (FAILED(grabber_.QueryTo(IID_ICorvathConfigurationFileProp, file)) || FAILED(file->GetConfigurationFile(path.Put())) ||
        path.Get() == nullptr) {
        return 0;
    }
    const auto profile = host::ReadProfile(host::Narrow(std::wstring(path.Get(), SysStringLen(path.Get()))));
    if (!profile || profile->verticalTotalLines <= 0) {
        return 0;
    }
    // The line frequency may have been adjusted since the file was written; the module knows.
    double lineFrequency = profile->horizontalFrequencyHz;
    const ComPtr<ICorvathAdjustment> adjustments = Adjustments();
    LONG adjusted = 0;
    if (adjustments && SUCCEEDED(adjustments->GetLongValue(kHorizontalFrequency, &adjusted)) && adjusted > 0) {
        lineFrequency = adjusted;
    }
    return lineFrequency / profile->verticalTotalLines;
}

HRESULT DeviceGrabber::SelectType(LONG type)
{
    if (!grabber_) {
        return E_UNEXPECTED;
    }
    if (type == currentType_) {
        return S_OK;
    }
    ComPtr<ICorvathSettingsProp> settings;
    HRESULT result = settingId_ < 0 ? E_NOTIMPL : grabber_.QueryTo(IID_ICorvathSettingsProp, settings);
    if (SUCCEEDED(result)) {
        result = settings->SetSettingValue(settingId_, type);
    }
    if (FAILED(result)) {
        LogReason("the module refused image format type " + std::to_string(type) + ": " + host::DescribeFailure(result));
        return result;
    }
    ReadGeometry();
    return S_OK;
}

HRESULT DeviceGrabber::StartGrab()
{
    if (!grabber_) {
        return E_UNEXPECTED;
    }
    const HRESULT result = grabber_->EnableGrab();
    if (SUCCEEDED(result)) {
        return S_OK;
    }
    const std::string reason = host::TakeErrorDescription();
    grabber_->DisableGrab();  // a failed start still leaves a stream to close
    if (reason.find("video signal") != std::string::npos) {
        LogReason("no video signal: " + reason);
        return kNoSignal;
    }
    LogReason("grabbing cannot start: " + (reason.empty() ? host::HresultHex(result) : reason));
    return result;
}

void DeviceGrabber::StopGrab()
{
    if (grabber_ && FAILED(grabber_->DisableGrab())) {
        LogReason("DisableGrab failed: " + host::TakeErrorDescription());
    }
}

ComPtr<ICorvathAdjustment> DeviceGrabber::Adjustments() const
{
    ComPtr<ICorvathAdjustment> adjustments;
    if (grabber_) {
        grabber_.QueryTo(IID_ICorvathAdjustment, adjustments);
    }
    return adjustments;
}

}  // namespace orvane::videosource
