#pragma once
// The module's grabber object behind one device, driven as any host drives it: created from the
// module file the registration names, initialised on the device's registry path with the board
// chosen by its serial and no window allowed, its buffers allocated. Its failures come back as
// the filter's results, each with its reason logged.
//
// Not thread-safe: the filter calls it under its own lock. While grabbing, the streaming threads
// use Object() for the frame cycle (GrabNext, GetCurrent, ReleaseCurrent and the two signals),
// which the module allows beside the control calls.
#include <windows.h>

#include <string>
#include <vector>

#include "CorvathSdk.h"
#include "platform/ComPtr.h"
#include "tools/common/GrabberFactory.h"
#include "videosource/VideoFormats.h"

namespace orvane::videosource {

class DeviceGrabber {
public:
    static constexpr SHORT kBuffers = 8;

    explicit DeviceGrabber(std::wstring serial) : serial_(std::move(serial)) {}
    ~DeviceGrabber() { Close(); }
    DeviceGrabber(const DeviceGrabber&) = delete;
    DeviceGrabber& operator=(const DeviceGrabber&) = delete;

    const std::wstring& Serial() const { return serial_; }

    // Opens the board unless it is open: S_OK, VFW_E_NO_CAPTURE_HARDWARE (the board cannot be
    // opened), kNoProfile (no board file, or one that does not suit the board), or the platform's
    // result when the module cannot be created.
    HRESULT Open();
    void Close();
    bool IsOpen() const { return static_cast<bool>(grabber_); }
    // A thread that could not be ended is still inside the object: it and the module stay, to the
    // end of the process.
    void Abandon()
    {
        grabber_.Detach();
        factory_.KeepLoaded();
        Close();
    }

    ICorvathGenericGrabber* Object() const { return grabber_.Get(); }
    const VideoGeometry& Geometry() const { return geometry_; }
    // Module types that have a media type, in the module's order.
    const std::vector<LONG>& OfferedTypes() const { return offered_; }
    LONG CurrentType() const { return currentType_; }
    // Makes `type` the module's image format (the buffers follow it).
    HRESULT SelectType(LONG type);

    // EnableGrab: kNoSignal without a video signal. StopGrab: DisableGrab.
    HRESULT StartGrab();
    void StopGrab();

    // The module's adjustments; null when closed.
    ComPtr<ICorvathAdjustment> Adjustments() const;

    // The board file the module remembers for this device ("Board File" under its module key).
    std::wstring RememberedProfile() const;
    bool RememberProfile(const std::wstring& path) const;

private:
    bool PrepareRegistry() const;
    void ReadFormats();
    void ReadGeometry();
    double FrameRate() const;
    void LogReason(const std::string& reason) const;

    std::wstring serial_;
    host::GrabberFactory factory_;  // declared before the object: the module outlives it
    ComPtr<ICorvathGenericGrabber> grabber_;
    LONG settingId_ = -1;  // the "Image Format" setting; -1 without one
    std::vector<LONG> offered_;
    LONG currentType_ = -1;
    VideoGeometry geometry_;
};

}  // namespace orvane::videosource
