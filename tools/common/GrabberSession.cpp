#include "tools/common/GrabberSession.h"

#include "platform/ComApartment.h"
#include "platform/RegistryKey.h"
#include "tools/common/ComErrorText.h"

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

bool GrabberSession::StoreBoardFile(const SessionSettings& settings, std::string& error)
{
    const std::wstring moduleKey = settings.registryPath + L"Orvane";
    RegistryKey key;
    LONG status = key.Create(HKEY_CURRENT_USER, moduleKey.c_str(), KEY_SET_VALUE);
    if (status == ERROR_SUCCESS) {
        const std::wstring file = Widen(settings.profilePath);
        status = RegSetValueExW(key.Get(), L"Board File", 0, REG_SZ, reinterpret_cast<const BYTE*>(file.c_str()),
                                static_cast<DWORD>((file.size() + 1) * sizeof(wchar_t)));
    }
    if (status != ERROR_SUCCESS) {
        error = "cannot store the board file under HKCU\\" + Narrow(moduleKey) + ": " + DescribeFailure(HRESULT_FROM_WIN32(status));
        return false;
    }
    return true;
}

bool GrabberSession::Open(const SessionSettings& settings, std::string& error)
{
    if (!StoreBoardFile(settings, error)) {
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
    result = grabber_->AllocateBuffers(settings.buffers);
    if (FAILED(result)) {
        error = "cannot allocate " + std::to_string(settings.buffers) + " buffers: " + DescribeFailure(result);
        return false;
    }
    ComPtr<ICorvathImageProp> image;
    if (SUCCEEDED(grabber_.QueryTo(IID_ICorvathImageProp, image))) {
        LONG third = 0;
        LONG fourth = 0;
        if (FAILED(image->GetImageFormat(&geometry_.width, &geometry_.height, &third, &fourth))) {
            TakeErrorDescription();
        }
        image->GetBitsPerPixel(&geometry_.bitsPerPixel);
        image->GetImageSize(&geometry_.imageBytes);
    }
    return true;
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

bool GrabberSession::Stop(std::string& error)
{
    running_ = false;
    HANDLE threads[2];
    DWORD count = 0;
    for (HANDLE thread : {grabThread_.Get(), readThread_.Get()}) {
        if (thread != nullptr) {
            threads[count++] = thread;
        }
    }
    bool ok = true;
    if (count > 0 && !stuck_) {
        // A blocked GrabNext or GetCurrent only returns when its event is set; keep setting both
        // until the threads have seen the stop.
        const ULONGLONG deadline = GetTickCount64() + 5000;
        for (;;) {
            grabber_->SignalGrabEvent();
            grabber_->SignalReadEvent();
            if (WaitForMultipleObjects(count, threads, TRUE, 20) == WAIT_OBJECT_0) {
                break;
            }
            if (GetTickCount64() > deadline) {
                stuck_ = true;
                error = "the grab and read threads did not end within 5 s after the stop";
                return false;
            }
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
    while (running_) {
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
