// The pin as IPin: what it is, and its connection downstream with the allocator the samples come
// from.
#include "videosource/OutputPin.h"

#include <algorithm>
#include <mutex>

#include "videosource/DeviceGrabber.h"
#include "videosource/ListEnumerator.h"
#include "videosource/SourceFilter.h"
#include "videosource/VideoSourceIds.h"

namespace orvane::videosource {

using StateGuard = std::lock_guard<CriticalSection>;

STDMETHODIMP OutputPin::QueryInterface(REFIID iid, void** object)
{
    if (object == nullptr) {
        return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPin)) {
        *object = static_cast<IPin*>(this);
    } else if (IsEqualIID(iid, IID_IAMStreamConfig)) {
        *object = static_cast<IAMStreamConfig*>(this);
    } else if (IsEqualIID(iid, IID_IKsPropertySet)) {
        *object = static_cast<IKsPropertySet*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) OutputPin::AddRef()
{
    return filter_.AddRef();
}

STDMETHODIMP_(ULONG) OutputPin::Release()
{
    return filter_.Release();
}

bool OutputPin::Fits(const DeviceGrabber& grabber, const AM_MEDIA_TYPE& type) const
{
    return ReadProposal(type, grabber.Geometry(), grabber.OfferedTypes(), grabber.CurrentType()).has_value();
}

STDMETHODIMP OutputPin::Connect(IPin* receiver, const AM_MEDIA_TYPE* type)
{
    if (receiver == nullptr) {
        return E_POINTER;
    }
    PIN_DIRECTION direction = PINDIR_OUTPUT;
    if (FAILED(receiver->QueryDirection(&direction)) || direction != PINDIR_INPUT) {
        return VFW_E_INVALID_DIRECTION;
    }
    const StateGuard guard(filter_.StateLock());
    if (peer_) {
        return VFW_E_ALREADY_CONNECTED;
    }
    if (filter_.State() != State_Stopped) {
        return VFW_E_NOT_STOPPED;
    }
    DeviceGrabber* grabber = nullptr;
    if (const HRESULT result = filter_.OpenGrabber(grabber); FAILED(result)) {
        return result;
    }
    // A format set through IAMStreamConfig is the only one; otherwise what the receiver prefers,
    // then ours.
    if (!chosen_.Empty()) {
        return Admits(type, chosen_.Get()) ? TryConnection(receiver, chosen_.Get(), *grabber) : VFW_E_NO_ACCEPTABLE_TYPES;
    }
    ComPtr<IEnumMediaTypes> theirs;
    if (SUCCEEDED(receiver->EnumMediaTypes(theirs.Put()))) {
        AM_MEDIA_TYPE* candidate = nullptr;
        while (theirs->Next(1, &candidate, nullptr) == S_OK) {
            const bool connected = Admits(type, *candidate) && Fits(*grabber, *candidate) &&
                                   TryConnection(receiver, *candidate, *grabber) == S_OK;
            DeleteMediaType(candidate);
            if (connected) {
                return S_OK;
            }
        }
    }
    ComPtr<IEnumMediaTypes> ours;
    if (const HRESULT result = EnumMediaTypes(ours.Put()); FAILED(result)) {
        return result;
    }
    AM_MEDIA_TYPE* candidate = nullptr;
    while (ours->Next(1, &candidate, nullptr) == S_OK) {
        const bool connected = Admits(type, *candidate) && TryConnection(receiver, *candidate, *grabber) == S_OK;
        DeleteMediaType(candidate);
        if (connected) {
            return S_OK;
        }
    }
    return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT OutputPin::TryConnection(IPin* receiver, const AM_MEDIA_TYPE& type, DeviceGrabber& grabber)
{
    const auto proposal = ReadProposal(type, grabber.Geometry(), grabber.OfferedTypes(), grabber.CurrentType());
    if (!proposal) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    MediaType ours;
    HRESULT result = BuildMediaType(*proposal->mapping, grabber.Geometry(), proposal->topDown, ours.Get());
    if (FAILED(result)) {
        return result;
    }
    if (FAILED(result = receiver->ReceiveConnection(this, &ours.Get()))) {
        return result;
    }
    ComPtr<IMemInputPin> input;
    ComPtr<IMemAllocator> allocator;
    result = receiver->QueryInterface(IID_IMemInputPin, input.PutVoid());
    if (SUCCEEDED(result)) {
        result = grabber.SelectType(proposal->mapping->moduleType);
    }
    if (SUCCEEDED(result)) {
        result = DecideAllocator(*input.Get(), ours.Get().lSampleSize, allocator);
    }
    if (FAILED(result)) {
        receiver->Disconnect();
        return result;
    }
    peer_ = ComPtr<IPin>(receiver);
    input_ = input;
    allocator_ = allocator;
    return connection_.Assign(ours.Get());
}

HRESULT OutputPin::DecideAllocator(IMemInputPin& input, ULONG sampleBytes, ComPtr<IMemAllocator>& allocator)
{
    ALLOCATOR_PROPERTIES wanted{};
    input.GetAllocatorRequirements(&wanted);  // optional: E_NOTIMPL leaves it empty
    wanted.cBuffers = std::max(wanted.cBuffers, kSampleBuffers);
    wanted.cbBuffer = std::max(wanted.cbBuffer, static_cast<long>(sampleBytes));
    wanted.cbAlign = std::max(wanted.cbAlign, 1L);
    wanted.cbPrefix = std::max(wanted.cbPrefix, 0L);

    // The receiver's allocator first, then one of our own (ffmpeg's receiver has none to give).
    for (const bool theirs : {true, false}) {
        ComPtr<IMemAllocator> candidate;
        const HRESULT made = theirs ? input.GetAllocator(candidate.Put())
                                    : CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                                       candidate.PutVoid());
        if (FAILED(made) || !candidate) {
            continue;
        }
        ALLOCATOR_PROPERTIES actual{};
        if (FAILED(candidate->SetProperties(&wanted, &actual)) || actual.cbBuffer < static_cast<long>(sampleBytes) ||
            FAILED(input.NotifyAllocator(candidate.Get(), FALSE))) {
            continue;
        }
        allocator = candidate;
        return S_OK;
    }
    return VFW_E_NO_ALLOCATOR;
}

STDMETHODIMP OutputPin::ReceiveConnection(IPin*, const AM_MEDIA_TYPE*)
{
    return E_UNEXPECTED;  // an output pin makes connections, it does not receive them
}

STDMETHODIMP OutputPin::Disconnect()
{
    const StateGuard guard(filter_.StateLock());
    if (filter_.State() != State_Stopped) {
        return VFW_E_NOT_STOPPED;
    }
    if (!peer_) {
        return S_FALSE;
    }
    peer_.Reset();
    input_.Reset();
    allocator_.Reset();
    connection_.Clear();
    return S_OK;
}

STDMETHODIMP OutputPin::ConnectedTo(IPin** pin)
{
    if (pin == nullptr) {
        return E_POINTER;
    }
    const StateGuard guard(filter_.StateLock());
    *pin = peer_.Get();
    if (*pin == nullptr) {
        return VFW_E_NOT_CONNECTED;
    }
    (*pin)->AddRef();
    return S_OK;
}

STDMETHODIMP OutputPin::ConnectionMediaType(AM_MEDIA_TYPE* type)
{
    if (type == nullptr) {
        return E_POINTER;
    }
    const StateGuard guard(filter_.StateLock());
    if (!peer_) {
        *type = AM_MEDIA_TYPE{};
        return VFW_E_NOT_CONNECTED;
    }
    *type = AM_MEDIA_TYPE{};
    return CopyMediaType(connection_.Get(), *type);
}

STDMETHODIMP OutputPin::QueryPinInfo(PIN_INFO* info)
{
    if (info == nullptr) {
        return E_POINTER;
    }
    info->pFilter = &filter_;
    info->pFilter->AddRef();
    info->dir = PINDIR_OUTPUT;
    lstrcpynW(info->achName, kPinName, MAX_PIN_NAME);
    return S_OK;
}

STDMETHODIMP OutputPin::QueryDirection(PIN_DIRECTION* direction)
{
    if (direction == nullptr) {
        return E_POINTER;
    }
    *direction = PINDIR_OUTPUT;
    return S_OK;
}

STDMETHODIMP OutputPin::QueryId(LPWSTR* id)
{
    if (id == nullptr) {
        return E_POINTER;
    }
    const size_t bytes = sizeof kPinName;
    *id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (*id == nullptr) {
        return E_OUTOFMEMORY;
    }
    CopyMemory(*id, kPinName, bytes);
    return S_OK;
}

STDMETHODIMP OutputPin::QueryAccept(const AM_MEDIA_TYPE* type)
{
    if (type == nullptr) {
        return E_POINTER;
    }
    const StateGuard guard(filter_.StateLock());
    DeviceGrabber* grabber = nullptr;
    if (FAILED(filter_.OpenGrabber(grabber)) || !Fits(*grabber, *type)) {
        return S_FALSE;
    }
    return chosen_.Empty() || IsEqualGUID(chosen_.Get().subtype, type->subtype) ? S_OK : S_FALSE;
}

STDMETHODIMP OutputPin::EnumMediaTypes(IEnumMediaTypes** types)
{
    if (types == nullptr) {
        return E_POINTER;
    }
    const StateGuard guard(filter_.StateLock());
    auto list = std::make_shared<MediaTypeList>();
    if (!chosen_.Empty()) {
        list->push_back(std::make_unique<MediaType>());
        if (FAILED(list->back()->Assign(chosen_.Get()))) {
            return E_OUTOFMEMORY;
        }
        return MediaTypeEnumerator::Create(std::move(list), 0, types);
    }
    DeviceGrabber* grabber = nullptr;
    if (const HRESULT result = filter_.OpenGrabber(grabber); FAILED(result)) {
        return result;
    }
    // The format in force first: connecting with it changes nothing in the module.
    std::vector<const FormatMapping*> offers = Offers(*grabber);
    std::stable_partition(offers.begin(), offers.end(),
                          [&](const FormatMapping* mapping) { return mapping->moduleType == grabber->CurrentType(); });
    for (const FormatMapping* mapping : offers) {
        list->push_back(std::make_unique<MediaType>());
        if (const HRESULT result = BuildMediaType(*mapping, grabber->Geometry(), false, list->back()->Get()); FAILED(result)) {
            return result;
        }
    }
    return MediaTypeEnumerator::Create(std::move(list), 0, types);
}

STDMETHODIMP OutputPin::QueryInternalConnections(IPin**, ULONG*)
{
    return E_NOTIMPL;
}

STDMETHODIMP OutputPin::EndOfStream()
{
    return E_UNEXPECTED;
}

STDMETHODIMP OutputPin::BeginFlush()
{
    return E_UNEXPECTED;
}

STDMETHODIMP OutputPin::EndFlush()
{
    return E_UNEXPECTED;
}

STDMETHODIMP OutputPin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double)
{
    return S_OK;
}

HRESULT OutputPin::PrepareStream(DeviceGrabber& grabber, StreamTarget& target)
{
    if (!peer_) {
        return VFW_E_NOT_CONNECTED;
    }
    const auto proposal = ReadProposal(connection_.Get(), grabber.Geometry(), grabber.OfferedTypes(), grabber.CurrentType());
    if (!proposal) {
        return VFW_E_INVALIDMEDIATYPE;
    }
    if (const HRESULT result = grabber.SelectType(proposal->mapping->moduleType); FAILED(result)) {
        return result;
    }
    const VideoGeometry& geometry = grabber.Geometry();
    target.allocator = allocator_;
    target.input = input_;
    target.peer = peer_;
    target.framePeriod = geometry.framePeriod;
    target.plan.rowBytes = ModuleRowBytes(*proposal->mapping, geometry.width);
    target.plan.rows = geometry.height;
    target.plan.targetStride = SampleStride(*proposal->mapping, geometry.width);
    target.plan.flip = proposal->mapping->rgb && !proposal->topDown;
    return S_OK;
}

HRESULT OutputPin::RefitConnection()
{
    DeviceGrabber* grabber = nullptr;
    if (!peer_ || FAILED(filter_.OpenGrabber(grabber)) || Fits(*grabber, connection_.Get())) {
        return S_OK;
    }
    if (!chosen_.Empty() && !Fits(*grabber, chosen_.Get())) {
        chosen_.Clear();
    }
    IFilterGraph* graph = filter_.Graph();
    return graph != nullptr ? graph->Reconnect(this) : VFW_E_NOT_IN_GRAPH;
}

}  // namespace orvane::videosource
