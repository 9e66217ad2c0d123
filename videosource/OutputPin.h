#pragma once
// The filter's one output pin, "Capture": capture category (IKsPropertySet), the module's formats
// through IAMStreamConfig, and the connection downstream with its allocator. It lives inside the
// filter and shares its reference count; every call takes the filter's state lock.
#include <dshow.h>

#include <vector>

#include "platform/ComPtr.h"
#include "videosource/CaptureStream.h"
#include "videosource/MediaTypeCopy.h"
#include "videosource/VideoFormats.h"

namespace orvane::videosource {

class SourceFilter;
class DeviceGrabber;

class OutputPin final : public IPin, public IAMStreamConfig, public IKsPropertySet {
public:
    static constexpr long kSampleBuffers = 4;

    explicit OutputPin(SourceFilter& filter) : filter_(filter) {}
    OutputPin(const OutputPin&) = delete;
    OutputPin& operator=(const OutputPin&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IPin
    STDMETHODIMP Connect(IPin* receiver, const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP ConnectedTo(IPin** pin) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* type) override;
    STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION* direction) override;
    STDMETHODIMP QueryId(LPWSTR* id) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override;
    STDMETHODIMP QueryInternalConnections(IPin** pins, ULONG* count) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    // IAMStreamConfig
    STDMETHODIMP SetFormat(AM_MEDIA_TYPE* type) override;
    STDMETHODIMP GetFormat(AM_MEDIA_TYPE** type) override;
    STDMETHODIMP GetNumberOfCapabilities(int* count, int* size) override;
    STDMETHODIMP GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) override;

    // IKsPropertySet
    STDMETHODIMP Set(REFGUID set, DWORD id, void* instance, DWORD instanceBytes, void* data, DWORD dataBytes) override;
    STDMETHODIMP Get(REFGUID set, DWORD id, void* instance, DWORD instanceBytes, void* data, DWORD dataBytes,
                     DWORD* returned) override;
    STDMETHODIMP QuerySupported(REFGUID set, DWORD id, DWORD* support) override;

    // For the filter, under its lock.
    bool Connected() const { return static_cast<bool>(peer_); }
    // Where a stream's samples go: the connection's format made the module's, and the copy that
    // turns the module's frames into samples. VFW_E_NOT_CONNECTED without a connection;
    // VFW_E_INVALIDMEDIATYPE when the board's image no longer fits the connection.
    HRESULT PrepareStream(DeviceGrabber& grabber, StreamTarget& target);
    // The board was opened anew (another profile): reconnects when the connection no longer fits.
    HRESULT RefitConnection();

private:
    // One offer per media type, in the module's order; of two twins the format in force.
    std::vector<const FormatMapping*> Offers(const DeviceGrabber& grabber) const;
    HRESULT TryConnection(IPin* receiver, const AM_MEDIA_TYPE& type, DeviceGrabber& grabber);
    HRESULT DecideAllocator(IMemInputPin& input, ULONG sampleBytes, ComPtr<IMemAllocator>& allocator);
    bool Fits(const DeviceGrabber& grabber, const AM_MEDIA_TYPE& type) const;

    SourceFilter& filter_;
    ComPtr<IPin> peer_;
    ComPtr<IMemInputPin> input_;
    ComPtr<IMemAllocator> allocator_;
    MediaType connection_;
    MediaType chosen_;  // set through SetFormat: the only type offered from then on
};

}  // namespace orvane::videosource
