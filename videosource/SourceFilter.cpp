// The filter as a COM object and an IBaseFilter: its states and the stream they start and stop.
#include "videosource/SourceFilter.h"

#include <mutex>
#include <new>

#include "platform/Diagnostics.h"
#include "tools/common/ComErrorText.h"
#include "videosource/ListEnumerator.h"
#include "videosource/VideoSourceIds.h"

namespace orvane::videosource {

using Guard = std::lock_guard<CriticalSection>;

HRESULT SourceFilter::Create(REFIID iid, void** object)
{
    auto* filter = new (std::nothrow) SourceFilter();
    if (filter == nullptr) {
        return E_OUTOFMEMORY;
    }
    const HRESULT result = filter->QueryInterface(iid, object);
    filter->Release();
    return result;
}

SourceFilter::~SourceFilter()
{
    // The graph stops its filters before letting them go; a program that does not still gets its
    // threads ended here, before anything they use is destroyed.
    const Guard guard(stateLock_);
    StopStream();
}

STDMETHODIMP SourceFilter::QueryInterface(REFIID iid, void** object)
{
    if (object == nullptr) {
        return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IBaseFilter) || IsEqualIID(iid, IID_IMediaFilter) ||
        IsEqualIID(iid, IID_IPersist)) {
        *object = static_cast<IBaseFilter*>(this);
    } else if (IsEqualIID(iid, IID_IAMFilterMiscFlags)) {
        *object = static_cast<IAMFilterMiscFlags*>(this);
    } else if (IsEqualIID(iid, IID_IPersistPropertyBag)) {
        *object = static_cast<IPersistPropertyBag*>(this);
    } else if (IsEqualIID(iid, IID_ISpecifyPropertyPages)) {
        *object = static_cast<ISpecifyPropertyPages*>(this);
    } else if (IsEqualIID(iid, IID_IAMVideoProcAmp)) {
        *object = static_cast<IAMVideoProcAmp*>(this);
    } else if (IsEqualIID(iid, IID_IAMDroppedFrames)) {
        *object = static_cast<IAMDroppedFrames*>(this);
    } else if (IsEqualIID(iid, kIidOrvaneVideoSource)) {
        *object = static_cast<IOrvaneVideoSource*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) SourceFilter::AddRef()
{
    return ++references_;
}

STDMETHODIMP_(ULONG) SourceFilter::Release()
{
    const ULONG left = --references_;
    if (left == 0) {
        delete this;
    }
    return left;
}

STDMETHODIMP SourceFilter::GetClassID(CLSID* id)
{
    if (id == nullptr) {
        return E_POINTER;
    }
    *id = kFilterClass;
    return S_OK;
}

HRESULT SourceFilter::OpenGrabber(DeviceGrabber*& grabber)
{
    grabber = nullptr;
    if (!grabber_) {
        Trace("OrvaneVideoSource - the filter has no device: create it through a video input device's moniker");
        return kNoDevice;
    }
    const HRESULT result = grabber_->Open();
    if (SUCCEEDED(result)) {
        grabber = grabber_.get();
    }
    return result;
}

HRESULT SourceFilter::StartStream()
{
    // The board is opened even with nothing connected: a pause says whether it can run.
    DeviceGrabber* grabber = nullptr;
    HRESULT result = OpenGrabber(grabber);
    if (FAILED(result) || !pin_.Connected()) {
        return result;
    }
    StreamTarget target;
    if (SUCCEEDED(result)) {
        result = pin_.PrepareStream(*grabber, target);
    }
    if (SUCCEEDED(result)) {
        result = grabber->StartGrab();
    }
    if (FAILED(result)) {
        return result;
    }
    stream_ = std::make_unique<CaptureStream>(*grabber->Object(), std::move(target), static_cast<StreamHost&>(*this), ledger_, host::Narrow(grabber->Serial()));
    if (FAILED(result = stream_->Start())) {
        stream_.reset();
        grabber->StopGrab();
    }
    return result;
}

void SourceFilter::StopStream()
{
    if (!stream_) {
        return;
    }
    if (!stream_->Stop()) {
        // A thread still inside the module: neither the stream nor the grabber object may go.
        stream_.release();
        grabber_->Abandon();
        return;
    }
    stream_.reset();
    grabber_->StopGrab();
}

STDMETHODIMP SourceFilter::Stop()
{
    const Guard guard(stateLock_);
    state_ = State_Stopped;  // first, so no further sample goes downstream
    StopStream();
    return S_OK;
}

STDMETHODIMP SourceFilter::Pause()
{
    const Guard guard(stateLock_);
    if (state_ == State_Stopped) {
        if (const HRESULT result = StartStream(); FAILED(result)) {
            return result;
        }
    }
    state_ = State_Paused;
    return VFW_S_CANT_CUE;
}

STDMETHODIMP SourceFilter::Run(REFERENCE_TIME start)
{
    const Guard guard(stateLock_);
    if (state_ == State_Stopped) {
        if (const HRESULT result = Pause(); FAILED(result)) {
            return result;
        }
    }
    streamStart_ = start;
    if (stream_) {
        stream_->PrepareRun();
    }
    state_ = State_Running;
    return S_OK;
}

STDMETHODIMP SourceFilter::GetState(DWORD, FILTER_STATE* state)
{
    if (state == nullptr) {
        return E_POINTER;
    }
    *state = state_;
    return *state == State_Paused ? VFW_S_CANT_CUE : S_OK;
}

STDMETHODIMP SourceFilter::SetSyncSource(IReferenceClock* clock)
{
    const Guard guard(graphLock_);
    clock_ = ComPtr<IReferenceClock>(clock);
    return S_OK;
}

STDMETHODIMP SourceFilter::GetSyncSource(IReferenceClock** clock)
{
    if (clock == nullptr) {
        return E_POINTER;
    }
    const Guard guard(graphLock_);
    *clock = clock_.Get();
    if (*clock != nullptr) {
        (*clock)->AddRef();
    }
    return S_OK;
}

STDMETHODIMP SourceFilter::EnumPins(IEnumPins** pins)
{
    auto list = std::make_shared<PinEnumerator::List>();
    list->push_back(ComPtr<IPin>(&pin_));
    return PinEnumerator::Create(std::move(list), 0, pins);
}

STDMETHODIMP SourceFilter::FindPin(LPCWSTR id, IPin** pin)
{
    if (id == nullptr || pin == nullptr) {
        return E_POINTER;
    }
    if (lstrcmpW(id, kPinName) != 0) {
        *pin = nullptr;
        return VFW_E_NOT_FOUND;
    }
    *pin = &pin_;
    pin_.AddRef();
    return S_OK;
}

STDMETHODIMP SourceFilter::QueryFilterInfo(FILTER_INFO* info)
{
    if (info == nullptr) {
        return E_POINTER;
    }
    const Guard guard(stateLock_);
    lstrcpynW(info->achName, name_.c_str(), MAX_FILTER_NAME);
    info->pGraph = graph_;
    if (graph_ != nullptr) {
        graph_->AddRef();
    }
    return S_OK;
}

STDMETHODIMP SourceFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name)
{
    const Guard guard(stateLock_);
    graph_ = graph;
    name_ = name != nullptr ? name : L"";
    IMediaEventSink* events = nullptr;
    if (graph != nullptr && SUCCEEDED(graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&events)))) {
        events->Release();  // the graph holds the filter: holding the graph back would make a cycle
    }
    const Guard graphGuard(graphLock_);
    events_ = events;
    return S_OK;
}

STDMETHODIMP SourceFilter::QueryVendorInfo(LPWSTR*)
{
    return E_NOTIMPL;
}

STDMETHODIMP_(ULONG) SourceFilter::GetMiscFlags()
{
    return AM_FILTER_MISC_FLAGS_IS_SOURCE;
}

bool SourceFilter::Delivering(REFERENCE_TIME& streamStart) const
{
    // The state first: Run writes the start before it makes the state running.
    const bool running = state_ == State_Running;
    streamStart = streamStart_;
    return running;
}

bool SourceFilter::ClockTime(REFERENCE_TIME& now) const
{
    const Guard guard(graphLock_);
    return clock_ && SUCCEEDED(clock_->GetTime(&now));
}

void SourceFilter::StreamAborted(HRESULT reason)
{
    const Guard guard(graphLock_);
    if (events_ != nullptr) {
        events_->Notify(EC_ERRORABORT, reason, 0);
    }
}

}  // namespace orvane::videosource
