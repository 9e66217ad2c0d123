#pragma once
// The video source filter: one board of the module as a DirectShow capture device. The device's
// moniker creates it and loads the board's serial into it (IPersistPropertyBag); the board is
// opened through the module when its formats are first asked for, or at the first pause, and
// stays open as long as the filter lives.
//
// States: stopped (no grab); paused (the module grabs, frames are given back undelivered:
// VFW_S_CANT_CUE, as a live source has nothing to cue); running (frames go downstream). Pause from
// stopped opens the board and starts the grab, and fails with the reason when there is no board,
// no profile or no signal.
//
// Locks: the state lock (every call from the graph or the application; held while the stream
// stops, so the streaming threads never take it) and the graph lock (the clock and the event
// sink, read by the streaming threads; nothing waits while holding it).
#include <dshow.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "platform/CriticalSection.h"
#include "videosource/CaptureStream.h"
#include "videosource/DeviceGrabber.h"
#include "videosource/DropLedger.h"
#include "videosource/IOrvaneVideoSource.h"
#include "videosource/OutputPin.h"
#include "videosource/ServerLock.h"

namespace orvane::videosource {

class SourceFilter final : public IBaseFilter,
                           public IAMFilterMiscFlags,
                           public IPersistPropertyBag,
                           public ISpecifyPropertyPages,
                           public IAMVideoProcAmp,
                           public IAMDroppedFrames,
                           public IOrvaneVideoSource,
                           private StreamHost {
public:
    static HRESULT Create(REFIID iid, void** object);

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IPersist (of IBaseFilter and IPersistPropertyBag alike)
    STDMETHODIMP GetClassID(CLSID* id) override;

    // IMediaFilter
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;
    STDMETHODIMP GetState(DWORD milliseconds, FILTER_STATE* state) override;
    STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;

    // IBaseFilter
    STDMETHODIMP EnumPins(IEnumPins** pins) override;
    STDMETHODIMP FindPin(LPCWSTR id, IPin** pin) override;
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override;
    STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
    STDMETHODIMP QueryVendorInfo(LPWSTR* info) override;

    // IAMFilterMiscFlags
    STDMETHODIMP_(ULONG) GetMiscFlags() override;

    // IPersistPropertyBag
    STDMETHODIMP InitNew() override;
    STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
    STDMETHODIMP Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

    // ISpecifyPropertyPages
    STDMETHODIMP GetPages(CAUUID* pages) override;

    // IAMVideoProcAmp
    STDMETHODIMP GetRange(long property, long* minimum, long* maximum, long* step, long* defaultValue, long* flags) override;
    STDMETHODIMP Set(long property, long value, long flags) override;
    STDMETHODIMP Get(long property, long* value, long* flags) override;

    // IAMDroppedFrames
    STDMETHODIMP GetNumDropped(long* dropped) override;
    STDMETHODIMP GetNumNotDropped(long* delivered) override;
    STDMETHODIMP GetDroppedInfo(long size, long* frames, long* copied) override;
    STDMETHODIMP GetAverageFrameSize(long* bytes) override;

    // IOrvaneVideoSource
    STDMETHODIMP GetDeviceSerial(BSTR* serial) override;
    STDMETHODIMP GetAdjustments(ICorvathAdjustment** adjustments) override;
    STDMETHODIMP GetProfile(BSTR* path) override;
    STDMETHODIMP UseProfile(const wchar_t* path) override;

    // For the pin.
    CriticalSection& StateLock() { return stateLock_; }
    FILTER_STATE State() const { return state_; }
    // The device's grabber, opened if need be; null with the reason as the result.
    HRESULT OpenGrabber(DeviceGrabber*& grabber);
    IFilterGraph* Graph() const { return graph_; }

private:
    SourceFilter() = default;
    ~SourceFilter();

    // StreamHost, from the streaming threads.
    bool Delivering(REFERENCE_TIME& streamStart) const override;
    bool ClockTime(REFERENCE_TIME& now) const override;
    void StreamAborted(HRESULT reason) override;

    HRESULT StartStream();
    void StopStream();
    HRESULT WithAdjustments(const std::function<HRESULT(ICorvathAdjustment&)>& use);

    std::atomic<ULONG> references_{1};
    ObjectCount alive_;

    CriticalSection stateLock_;
    std::atomic<FILTER_STATE> state_{State_Stopped};
    std::atomic<REFERENCE_TIME> streamStart_{0};
    std::wstring name_;
    IFilterGraph* graph_ = nullptr;  // not held: the graph holds the filter
    std::unique_ptr<DeviceGrabber> grabber_;  // from Load
    OutputPin pin_{*this};
    std::unique_ptr<CaptureStream> stream_;
    DropLedger ledger_;

    mutable CriticalSection graphLock_;
    ComPtr<IReferenceClock> clock_;
    IMediaEventSink* events_ = nullptr;  // the graph's, not held
};

}  // namespace orvane::videosource
