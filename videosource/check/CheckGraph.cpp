#include "videosource/check/CheckGraph.h"

#include <qedit.h>

#include <atomic>
#include <new>

#include "tools/common/ComErrorText.h"

// In the platform's identifier library, but not declared by qedit.h.
extern "C" const CLSID CLSID_SampleGrabber;
extern "C" const CLSID CLSID_NullRenderer;

namespace orvane::dshowcheck {

namespace {

constexpr DWORD kStateBoundMs = 10000;

// The Sample Grabber's callback: hands each sample on.
class GrabberCallback final : public ISampleGrabberCB {
public:
    explicit GrabberCallback(SampleSink& sink) : sink_(sink) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override
    {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ISampleGrabberCB)) {
            *object = static_cast<ISampleGrabberCB*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    STDMETHODIMP SampleCB(double, IMediaSample* sample) override
    {
        if (sample != nullptr) {
            sink_.OnSample(*sample);
        }
        return S_OK;
    }
    STDMETHODIMP BufferCB(double, BYTE*, long) override { return E_NOTIMPL; }

private:
    ~GrabberCallback() = default;
    std::atomic<ULONG> references_{1};
    SampleSink& sink_;
};

HRESULT Step(HRESULT result, const char* what, std::string& error)
{
    if (FAILED(result) && error.empty()) {
        error = std::string(what) + ": " + host::DescribeFailure(result);
    }
    return result;
}

}  // namespace

CheckGraph::~CheckGraph()
{
    Stop();
}

HRESULT CheckGraph::Build(IMoniker& device, const std::optional<GUID>& subtype, SampleSink& sink, std::string& error)
{
    ComPtr<IBaseFilter> source;
    const HRESULT result = Step(device.BindToObject(nullptr, nullptr, IID_IBaseFilter, source.PutVoid()), "binding the device", error);
    return FAILED(result) ? result : Build(*source.Get(), subtype, sink, error);
}

HRESULT CheckGraph::Build(IBaseFilter& source, const std::optional<GUID>& subtype, SampleSink& sink, std::string& error)
{
    source_ = ComPtr<IBaseFilter>(&source);
    HRESULT result = Step(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph_.PutVoid()),
                          "creating the filter graph", error);
    if (SUCCEEDED(result)) {
        result = Step(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                                       builder_.PutVoid()),
                      "creating the capture graph builder", error);
    }
    if (SUCCEEDED(result)) {
        result = Step(builder_->SetFiltergraph(graph_.Get()), "joining the builder to the graph", error);
    }
    if (SUCCEEDED(result)) {
        result = Step(graph_->AddFilter(source_.Get(), L"Video source"), "adding the source", error);
    }
    if (SUCCEEDED(result)) {
        result = Step(builder_->FindPin(source_.Get(), PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, FALSE, 0, sourcePin_.Put()),
                      "finding the source's capture pin", error);
    }
    if (SUCCEEDED(result) && subtype) {
        result = ChooseFormat(*subtype, error);
    }
    ComPtr<ISampleGrabber> sampleGrabber;
    if (SUCCEEDED(result)) {
        result = Step(CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, grabber_.PutVoid()),
                      "creating the Sample Grabber", error);
    }
    if (SUCCEEDED(result)) {
        result = Step(grabber_.QueryTo(IID_ISampleGrabber, sampleGrabber), "asking the Sample Grabber for ISampleGrabber", error);
    }
    if (SUCCEEDED(result)) {
        auto* callback = new (std::nothrow) GrabberCallback(sink);
        callback_ = ComPtr<IUnknown>::Adopt(callback);
        result = callback == nullptr ? E_OUTOFMEMORY : sampleGrabber->SetCallback(callback, 0);
        Step(result, "setting the Sample Grabber's callback", error);
    }
    if (SUCCEEDED(result)) {
        sampleGrabber->SetBufferSamples(FALSE);
        sampleGrabber->SetOneShot(FALSE);
        result = Step(graph_->AddFilter(grabber_.Get(), L"Sample Grabber"), "adding the Sample Grabber", error);
    }
    if (SUCCEEDED(result)) {
        result = Step(CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, renderer_.PutVoid()),
                      "creating the Null Renderer", error);
    }
    if (SUCCEEDED(result)) {
        result = Step(graph_->AddFilter(renderer_.Get(), L"Null Renderer"), "adding the Null Renderer", error);
    }
    if (SUCCEEDED(result)) {
        result = Step(builder_->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, source_.Get(), grabber_.Get(), renderer_.Get()),
                      "connecting source, Sample Grabber and Null Renderer", error);
    }
    if (SUCCEEDED(result)) {
        result = Step(sourcePin_->ConnectionMediaType(&connected_.Get()), "reading the connected type", error);
    }
    if (SUCCEEDED(result)) {
        result = Step(graph_.QueryTo(IID_IMediaControl, control_), "asking the graph for IMediaControl", error);
    }
    if (SUCCEEDED(result)) {
        result = Step(graph_.QueryTo(IID_IMediaEvent, events_), "asking the graph for IMediaEvent", error);
    }
    return result;
}

HRESULT CheckGraph::ChooseFormat(const GUID& subtype, std::string& error)
{
    ComPtr<IAMStreamConfig> config;
    HRESULT result = Step(sourcePin_.QueryTo(IID_IAMStreamConfig, config), "asking the capture pin for IAMStreamConfig", error);
    int count = 0;
    int size = 0;
    if (SUCCEEDED(result)) {
        result = Step(config->GetNumberOfCapabilities(&count, &size), "reading the number of formats", error);
    }
    if (FAILED(result)) {
        return result;
    }
    std::string buffer(static_cast<size_t>(size > 0 ? size : 0), '\0');
    for (int i = 0; i < count; ++i) {
        AM_MEDIA_TYPE* type = nullptr;
        if (config->GetStreamCaps(i, &type, reinterpret_cast<BYTE*>(buffer.data())) != S_OK) {
            continue;
        }
        const bool wanted = IsEqualGUID(type->subtype, subtype);
        const HRESULT set = wanted ? config->SetFormat(type) : S_FALSE;
        videosource::DeleteMediaType(type);
        if (wanted) {
            return Step(set, "setting the format", error);
        }
    }
    error = "the device does not offer that format";
    return VFW_E_NO_TYPES;
}

HRESULT CheckGraph::Run()
{
    if (!control_) {
        return E_UNEXPECTED;
    }
    HRESULT result = control_->Run();
    if (result == S_FALSE) {
        OAFilterState state = State_Stopped;
        result = control_->GetState(kStateBoundMs, &state);
        if (result == VFW_S_CANT_CUE || result == VFW_S_STATE_INTERMEDIATE) {
            result = S_OK;
        }
    }
    return result;
}

HRESULT CheckGraph::Pause()
{
    return control_ ? control_->Pause() : E_UNEXPECTED;
}

void CheckGraph::Stop()
{
    if (control_) {
        control_->Stop();
    }
}

long CheckGraph::Wait(HANDLE done, DWORD milliseconds, LONG_PTR& parameter)
{
    parameter = 0;
    HANDLE graphEvent = nullptr;
    if (!events_ || FAILED(events_->GetEventHandle(reinterpret_cast<OAEVENT*>(&graphEvent)))) {
        return -1;
    }
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) {
            return -1;
        }
        HANDLE handles[2] = {done, graphEvent};
        const DWORD woken = WaitForMultipleObjects(2, handles, FALSE, static_cast<DWORD>(deadline - now));
        if (woken == WAIT_OBJECT_0) {
            return 0;
        }
        if (woken != WAIT_OBJECT_0 + 1) {
            return -1;
        }
        // Of the events waiting, an abort says more than the completion that may follow it.
        long ending = 0;
        long code = 0;
        LONG_PTR first = 0;
        LONG_PTR second = 0;
        while (events_->GetEvent(&code, &first, &second, 0) == S_OK) {
            events_->FreeEventParams(code, first, second);
            if ((code == EC_ERRORABORT || code == EC_COMPLETE || code == EC_DEVICE_LOST) && ending != EC_ERRORABORT) {
                ending = code;
                parameter = first;
            }
        }
        if (ending != 0) {
            return ending;
        }
    }
}

}  // namespace orvane::dshowcheck
