// The pin as IAMStreamConfig (the module's formats at the profile's size and rate) and as
// IKsPropertySet (its category: capture).

#include <algorithm>
#include <mutex>

#include "videosource/DeviceGrabber.h"
#include "videosource/OutputPin.h"
#include "videosource/SourceFilter.h"

namespace orvane::videosource {

using StateGuard = std::lock_guard<CriticalSection>;

std::vector<const FormatMapping*> OutputPin::Offers(const DeviceGrabber& grabber) const
{
    std::vector<const FormatMapping*> offers;
    for (LONG type : grabber.OfferedTypes()) {
        const FormatMapping* mapping = MappingForType(type);
        auto twin = std::find_if(offers.begin(), offers.end(),
                                 [&](const FormatMapping* offered) { return IsEqualGUID(offered->subtype, mapping->subtype); });
        if (twin == offers.end()) {
            offers.push_back(mapping);
        } else if (type == grabber.CurrentType()) {
            *twin = mapping;
        }
    }
    return offers;
}

STDMETHODIMP OutputPin::SetFormat(AM_MEDIA_TYPE* type)
{
    const StateGuard guard(filter_.StateLock());
    if (filter_.State() != State_Stopped) {
        return VFW_E_NOT_STOPPED;
    }
    if (type == nullptr) {
        chosen_.Clear();  // back to every format
        return S_OK;
    }
    DeviceGrabber* grabber = nullptr;
    if (const HRESULT result = filter_.OpenGrabber(grabber); FAILED(result)) {
        return result;
    }
    const auto proposal = ReadProposal(*type, grabber->Geometry(), grabber->OfferedTypes(), grabber->CurrentType());
    if (!proposal) {
        return VFW_E_INVALIDMEDIATYPE;
    }
    MediaType wanted;
    HRESULT result = BuildMediaType(*proposal->mapping, grabber->Geometry(), proposal->topDown, wanted.Get());
    if (FAILED(result)) {
        return result;
    }
    if (peer_ && peer_->QueryAccept(&wanted.Get()) != S_OK) {
        return VFW_E_INVALIDMEDIATYPE;
    }
    if (FAILED(result = grabber->SelectType(proposal->mapping->moduleType)) || FAILED(result = chosen_.Assign(wanted.Get()))) {
        return result;
    }
    if (peer_ && !IsEqualGUID(connection_.Get().subtype, wanted.Get().subtype)) {
        IFilterGraph* graph = filter_.Graph();
        return graph != nullptr ? graph->Reconnect(this) : VFW_E_NOT_IN_GRAPH;
    }
    return S_OK;
}

STDMETHODIMP OutputPin::GetFormat(AM_MEDIA_TYPE** type)
{
    if (type == nullptr) {
        return E_POINTER;
    }
    *type = nullptr;
    const StateGuard guard(filter_.StateLock());
    DeviceGrabber* grabber = nullptr;
    if (const HRESULT result = filter_.OpenGrabber(grabber); FAILED(result)) {
        return result;
    }
    MediaType current;
    if (peer_) {
        current.Assign(connection_.Get());
    } else if (!chosen_.Empty()) {
        current.Assign(chosen_.Get());
    } else if (const FormatMapping* mapping = MappingForType(grabber->CurrentType())) {
        if (const HRESULT result = BuildMediaType(*mapping, grabber->Geometry(), false, current.Get()); FAILED(result)) {
            return result;
        }
    } else {
        return VFW_E_NO_TYPES;
    }
    *type = NewMediaType(current.Get());
    return *type != nullptr ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP OutputPin::GetNumberOfCapabilities(int* count, int* size)
{
    if (count == nullptr || size == nullptr) {
        return E_POINTER;
    }
    const StateGuard guard(filter_.StateLock());
    DeviceGrabber* grabber = nullptr;
    if (const HRESULT result = filter_.OpenGrabber(grabber); FAILED(result)) {
        return result;
    }
    *count = static_cast<int>(Offers(*grabber).size());
    *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
    return S_OK;
}

STDMETHODIMP OutputPin::GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps)
{
    if (type == nullptr || caps == nullptr) {
        return E_POINTER;
    }
    *type = nullptr;
    const StateGuard guard(filter_.StateLock());
    DeviceGrabber* grabber = nullptr;
    if (const HRESULT result = filter_.OpenGrabber(grabber); FAILED(result)) {
        return result;
    }
    const std::vector<const FormatMapping*> offers = Offers(*grabber);
    if (index < 0 || static_cast<size_t>(index) >= offers.size()) {
        return S_FALSE;
    }
    const VideoGeometry& geometry = grabber->Geometry();
    MediaType offered;
    if (const HRESULT result = BuildMediaType(*offers[static_cast<size_t>(index)], geometry, false, offered.Get()); FAILED(result)) {
        return result;
    }
    // One size and one rate: the profile's.
    VIDEO_STREAM_CONFIG_CAPS config{};
    config.guid = FORMAT_VideoInfo;
    config.VideoStandard = AnalogVideo_None;
    config.InputSize = {geometry.width, geometry.height};
    config.MinCroppingSize = config.MaxCroppingSize = config.InputSize;
    config.CropGranularityX = config.CropGranularityY = 1;
    config.CropAlignX = config.CropAlignY = 1;
    config.MinOutputSize = config.MaxOutputSize = config.InputSize;
    config.OutputGranularityX = config.OutputGranularityY = 1;
    config.StretchTapsX = config.StretchTapsY = 0;
    config.ShrinkTapsX = config.ShrinkTapsY = 0;
    config.MinFrameInterval = geometry.minPeriod;
    config.MaxFrameInterval = geometry.maxPeriod;
    const LONG bits = static_cast<LONG>(reinterpret_cast<const VIDEOINFOHEADER*>(offered.Get().pbFormat)->dwBitRate);
    config.MinBitsPerSecond = config.MaxBitsPerSecond = bits;
    CopyMemory(caps, &config, sizeof config);
    *type = NewMediaType(offered.Get());
    return *type != nullptr ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP OutputPin::Set(REFGUID set, DWORD, void*, DWORD, void*, DWORD)
{
    return IsEqualGUID(set, AMPROPSETID_Pin) ? E_PROP_ID_UNSUPPORTED : E_PROP_SET_UNSUPPORTED;
}

STDMETHODIMP OutputPin::Get(REFGUID set, DWORD id, void*, DWORD, void* data, DWORD dataBytes, DWORD* returned)
{
    if (!IsEqualGUID(set, AMPROPSETID_Pin)) {
        return E_PROP_SET_UNSUPPORTED;
    }
    if (id != AMPROPERTY_PIN_CATEGORY) {
        return E_PROP_ID_UNSUPPORTED;
    }
    if (returned != nullptr) {
        *returned = sizeof(GUID);
    }
    if (data == nullptr) {
        return returned != nullptr ? S_OK : E_POINTER;
    }
    if (dataBytes < sizeof(GUID)) {
        return E_UNEXPECTED;
    }
    *static_cast<GUID*>(data) = PIN_CATEGORY_CAPTURE;
    return S_OK;
}

STDMETHODIMP OutputPin::QuerySupported(REFGUID set, DWORD id, DWORD* support)
{
    if (!IsEqualGUID(set, AMPROPSETID_Pin)) {
        return E_PROP_SET_UNSUPPORTED;
    }
    if (id != AMPROPERTY_PIN_CATEGORY) {
        return E_PROP_ID_UNSUPPORTED;
    }
    if (support != nullptr) {
        *support = KSPROPERTY_SUPPORT_GET;
    }
    return S_OK;
}

}  // namespace orvane::videosource
