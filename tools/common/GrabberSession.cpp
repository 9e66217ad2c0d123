#include "tools/common/GrabberSession.h"

#include "Orvane.h"
#include "platform/ComApartment.h"
#include "platform/RegistryKey.h"
#include "tools/common/ComErrorText.h"
#include "tools/common/ImageFormatChoice.h"

namespace orvane::host {

GrabberSession::~GrabberSession()
{
    std::string ignored;
    Stop(ignored);
    if (stuck_) {
        // A thread is still inside the object: releasing it now would pull it from under that
        // thread. The process is about to end anyway.
        grabber_.Detach();
    }
}

bool GrabberSession::StoreModuleValues(const SessionSettings& settings, std::string& error)
{
    const std::wstring moduleKey = ModuleKeyOf(settings.registryPath);
    RegistryKey key;
    LONG status = key.Create(HKEY_CURRENT_USER, moduleKey.c_str(), KEY_SET_VALUE);
    if (status == ERROR_SUCCESS && !settings.profilePath.empty()) {
        const std::wstring file = Widen(settings.profilePath);
        status = RegSetValueExW(key.Get(), L"Board File", 0, REG_SZ, reinterpret_cast<const BYTE*>(file.c_str()),
                                static_cast<DWORD>((file.size() + 1) * sizeof(wchar_t)));
    }
    if (status == ERROR_SUCCESS) {
        const DWORD unattended = settings.unattended ? 1 : 0;
        status = RegSetValueExW(key.Get(), L"Unattended", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&unattended), sizeof unattended);
    }
    if (status != ERROR_SUCCESS) {
        error = "cannot store the module's values under HKCU\\" + Narrow(moduleKey) + ": " + DescribeFailure(HRESULT_FROM_WIN32(status));
        return false;
    }
    return true;
}

bool GrabberSession::Open(const SessionSettings& settings, std::string& error)
{
    readAfterStop_ = settings.readAfterStop;
    if (!StoreModuleValues(settings, error)) {
        return false;
    }
    if (FAILED(factory_.Create(settings.creation, grabber_, error))) {
        return false;
    }
    BSTR path = SysAllocStringLen(settings.registryPath.data(), static_cast<UINT>(settings.registryPath.size()));
    HRESULT result = grabber_->InitializeGrabber(path);
    SysFreeString(path);
    if (FAILED(result)) {
        error = "the grabber could not be initialised (no board, or the profile does not suit it): " + DescribeFailure(result);
        return false;
    }
    if (!settings.format.empty() && !SelectFormat(settings.format, error)) {
        return false;
    }
    result = grabber_->AllocateBuffers(settings.buffers);
    if (FAILED(result)) {
        error = "cannot allocate " + std::to_string(settings.buffers) + " buffers: " + DescribeFailure(result);
        return false;
    }
    ReadGeometry();
    return true;
}

bool GrabberSession::SelectFormat(const std::string& request, std::string& error)
{
    ComPtr<ICorvathSettingsProp> settings;
    ImageFormatSetting setting;
    HRESULT result = grabber_.QueryTo(IID_ICorvathSettingsProp, settings);
    if (SUCCEEDED(result)) {
        result = ReadImageFormatSetting(*settings.Get(), setting);
    }
    // A module without the setting still captures, in the format it has. E_FAIL is how the
    // settings interface says it has no list of settings.
    if (result == S_FALSE || result == E_FAIL || result == E_NOTIMPL || result == E_NOINTERFACE) {
        formatOutcome_ = FormatOutcome::NotSelectable;
        formatNote_ = result == S_FALSE ? "the module offers no \"Image Format\" setting"
                                        : "the module cannot select image formats (" + HresultHex(result) + ")";
        return true;
    }
    if (FAILED(result)) {
        formatOutcome_ = FormatOutcome::Failed;
        error = "cannot read the module's image formats: " + DescribeFailure(result);
        return false;
    }
    const std::optional<FormatOption> choice = MatchFormat(request, setting.options);
    if (!choice) {
        formatOutcome_ = FormatOutcome::NoSuchChoice;
        error = "--format \"" + request + "\" is none of the module's image formats: " + ListChoices(setting.options) +
                "; or give a type number";
        return false;
    }
    result = settings->SetSettingValue(setting.id, choice->type);
    if (FAILED(result)) {
        formatOutcome_ = FormatOutcome::Failed;
        error = "the module refused image format type " + std::to_string(choice->type) + ": " + DescribeFailure(result);
        return false;
    }
    formatOutcome_ = FormatOutcome::Selected;
    return true;
}

void GrabberSession::ReadGeometry()
{
    geometry_ = {};
    ComPtr<ICorvathImageProp> image;
    if (SUCCEEDED(grabber_.QueryTo(IID_ICorvathImageProp, image))) {
        LONG third = 0;
        LONG fourth = 0;
        const HRESULT format = image->GetImageFormat(&geometry_.width, &geometry_.height, &third, &fourth);
        if (FAILED(format)) {
            TakeErrorDescription();
        }
        const bool answered = SUCCEEDED(format) && SUCCEEDED(image->GetImageSize(&geometry_.imageBytes)) &&
                              SUCCEEDED(image->GetBitsPerPixel(&geometry_.bitsPerPixel)) &&
                              SUCCEEDED(image->GetSignificantBits(&geometry_.significantBits)) &&
                              SUCCEEDED(image->GetImageFormatCode(&geometry_.formatCode));
        geometry_.reported = answered && geometry_.width > 0 && geometry_.height > 0 && geometry_.bitsPerPixel > 0;
    }
    // The type itself is the setting's value; without the setting, the format code tells nearly
    // as much.
    ComPtr<ICorvathSettingsProp> settings;
    ImageFormatSetting setting;
    LONG type = 0;
    if (SUCCEEDED(grabber_.QueryTo(IID_ICorvathSettingsProp, settings)) && ReadImageFormatSetting(*settings.Get(), setting) == S_OK &&
        SUCCEEDED(settings->GetSettingValue(setting.id, &type))) {
        geometry_.formatType = type;
        for (const FormatOption& option : setting.options) {
            if (option.type == type) {
                geometry_.formatName = option.name;
                break;
            }
        }
    } else if (geometry_.reported) {
        geometry_.formatType = FormatTypeFromCode(geometry_.formatCode, geometry_.significantBits);
    }
}

bool GrabberSession::Start(FrameSink& sink, std::uint64_t frameLimit, std::string& error)
{
    if (!grabber_) {
        error = "the grabber is not open";
        return false;
    }
    sink_ = &sink;
    frameLimit_ = frameLimit;
    framesDone_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    running_ = true;
    grabbing_ = true;
    draining_ = false;
    enabled_ = true;  // a failed EnableGrab still wants its DisableGrab
    const HRESULT result = grabber_->EnableGrab();
    if (FAILED(result)) {
        running_ = false;
        error = "grabbing could not start: " + DescribeFailure(result);
        return false;
    }
    grabThread_.Reset(CreateThread(nullptr, 0, &GrabberSession::GrabEntry, this, 0, nullptr));
    readThread_.Reset(CreateThread(nullptr, 0, &GrabberSession::ReadEntry, this, 0, nullptr));
    if (!grabThread_ || !readThread_) {
        error = "cannot start the grab and read threads";
        return false;
    }
    return true;
}

bool GrabberSession::WaitForFrames(DWORD milliseconds) const
{
    return framesDone_ && WaitForSingleObject(framesDone_.Get(), milliseconds) == WAIT_OBJECT_0;
}

template <typename Wake>
bool GrabberSession::EndThread(HANDLE thread, Wake&& wake, std::string& error)
{
    if (thread == nullptr) {
        return true;
    }
    // A blocked GrabNext or GetCurrent only returns when its event is set; keep setting it until
    // the thread has seen the stop.
    const ULONGLONG deadline = GetTickCount64() + 5000;
    for (;;) {
        wake();
        if (WaitForSingleObject(thread, 20) == WAIT_OBJECT_0) {
            return true;
        }
        if (GetTickCount64() > deadline) {
            stuck_ = true;
            error = "the grab and read threads did not end within 5 s after the stop";
            return false;
        }
    }
}

bool GrabberSession::Stop(std::string& error)
{
    bool ok = true;
    if (readAfterStop_ && enabled_ && grabber_ && readThread_ && !stuck_) {
        // Queueing ends first, then grabbing; the read thread goes on until the ready list is
        // empty for good: what the board filled before the stop is read like any other frame.
        grabbing_ = false;
        if (!EndThread(grabThread_.Get(), [&] { grabber_->SignalGrabEvent(); }, error)) {
            return false;
        }
        enabled_ = false;
        const HRESULT result = grabber_->DisableGrab();
        if (FAILED(result)) {
            error = "DisableGrab failed: " + DescribeFailure(result);
            ok = false;
        }
        draining_ = true;
        if (!EndThread(readThread_.Get(), [&] { grabber_->SignalReadEvent(); }, error)) {
            return false;
        }
    }
    running_ = false;
    grabbing_ = false;
    for (HANDLE thread : {grabThread_.Get(), readThread_.Get()}) {
        if (!stuck_ && !EndThread(thread, [&] {
                grabber_->SignalGrabEvent();
                grabber_->SignalReadEvent();
            }, error)) {
            return false;
        }
    }
    if (enabled_ && grabber_) {
        enabled_ = false;
        const HRESULT result = grabber_->DisableGrab();
        if (FAILED(result)) {
            error = "DisableGrab failed: " + DescribeFailure(result);
            ok = false;
        }
    }
    return ok;
}

SessionCounters GrabberSession::Counters() const
{
    SessionCounters c;
    c.delivered = delivered_;
    c.grabCalls = grabCalls_;
    c.grabOverruns = grabOverruns_;
    c.readOverruns = readOverruns_;
    c.emptyReads = emptyReads_;
    c.failures = failures_;
    return c;
}

ModuleFrameCounts GrabberSession::FrameCounts() const
{
    ModuleFrameCounts counts;
    ComPtr<IOrvaneFrameCounters> counters;
    if (!grabber_ || FAILED(grabber_.QueryTo(IID_IOrvaneFrameCounters, counters))) {
        return counts;
    }
    LONGLONG captured = 0, noImage = 0, unread = 0, skipped = 0;
    counts.available = SUCCEEDED(counters->GetFramesCaptured(&captured)) &&
                       SUCCEEDED(counters->GetFramesLost(OrvaneLossNoImage, &noImage)) &&
                       SUCCEEDED(counters->GetFramesLost(OrvaneLossUnread, &unread)) &&
                       SUCCEEDED(counters->GetFramesLost(OrvaneLossBoardSkipped, &skipped));
    counts.captured = captured;
    counts.lostNoImage = noImage;
    counts.lostUnread = unread;
    counts.boardSkipped = skipped;
    return counts;
}

LONG GrabberSession::MaxReadyCount() const
{
    LONG count = -1;
    ComPtr<ICorvathBufferUsageProp> usage;
    if (grabber_ && SUCCEEDED(grabber_.QueryTo(IID_ICorvathBufferUsageProp, usage))) {
        usage->GetMaxReadyCount(&count);
    }
    return count;
}

DWORD WINAPI GrabberSession::GrabEntry(LPVOID self)
{
    static_cast<GrabberSession*>(self)->GrabLoop();
    return 0;
}

DWORD WINAPI GrabberSession::ReadEntry(LPVOID self)
{
    static_cast<GrabberSession*>(self)->ReadLoop();
    return 0;
}

void GrabberSession::GrabLoop()
{
    // The object's error objects ("overrun") are set on this thread.
    ComApartment apartment(COINIT_MULTITHREADED);
    while (running_ && grabbing_) {
        const HRESULT result = grabber_->GrabNext();
        ++grabCalls_;
        if (result == S_FALSE) {
            ++grabOverruns_;
        } else if (FAILED(result)) {
            ++failures_;
            Sleep(1);
        }
    }
}

void GrabberSession::ReadLoop()
{
    ComApartment apartment(COINIT_MULTITHREADED);
    while (running_) {
        ULONG_PTR address = 0;
        const HRESULT result = grabber_->GetCurrent(&address);
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        if (FAILED(result)) {
            ++failures_;
            Sleep(1);
            continue;
        }
        if (address == 0) {
            // After DisableGrab nothing new arrives: a wake-up without a frame means none is left.
            if (draining_) {
                return;
            }
            if (running_) {  // the stop's own wake-up is not worth counting
                ++emptyReads_;
            }
            continue;
        }
        if (result == S_FALSE) {
            ++readOverruns_;
        }
        sink_->OnFrame(*reinterpret_cast<const ImageHeader*>(address), now.QuadPart);
        if (FAILED(grabber_->ReleaseCurrent())) {
            ++failures_;
        }
        if (++delivered_ == frameLimit_) {
            SetEvent(framesDone_.Get());
            return;
        }
    }
}

}  // namespace orvane::host
