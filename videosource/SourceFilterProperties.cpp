// The filter's other faces: the device it is told it stands for (IPersistPropertyBag), its property
// page, the board's picture controls (IAMVideoProcAmp), its lost frames (IAMDroppedFrames) and its
// own interface for the page.
#include "videosource/SourceFilter.h"

#include <mutex>

#include "platform/UniqueBstr.h"
#include "videosource/VideoProcAmp.h"
#include "videosource/VideoSourceIds.h"

namespace orvane::videosource {

using Guard = std::lock_guard<CriticalSection>;

STDMETHODIMP SourceFilter::InitNew()
{
    return S_OK;
}

STDMETHODIMP SourceFilter::Load(IPropertyBag* bag, IErrorLog* log)
{
    if (bag == nullptr) {
        return E_POINTER;
    }
    const Guard guard(stateLock_);
    if (grabber_) {
        return E_UNEXPECTED;  // a filter stands for one device for its whole life
    }
    VARIANT serial;
    VariantInit(&serial);
    serial.vt = VT_BSTR;
    const HRESULT result = bag->Read(kBagSerial, &serial, log);
    if (FAILED(result)) {
        return result;
    }
    if (serial.vt != VT_BSTR || serial.bstrVal == nullptr || SysStringLen(serial.bstrVal) == 0) {
        VariantClear(&serial);
        return E_INVALIDARG;
    }
    grabber_ = std::make_unique<DeviceGrabber>(std::wstring(serial.bstrVal, SysStringLen(serial.bstrVal)));
    VariantClear(&serial);
    return S_OK;
}

STDMETHODIMP SourceFilter::Save(IPropertyBag* bag, BOOL, BOOL)
{
    if (bag == nullptr) {
        return E_POINTER;
    }
    const Guard guard(stateLock_);
    if (!grabber_) {
        return kNoDevice;
    }
    VARIANT serial;
    VariantInit(&serial);
    serial.vt = VT_BSTR;
    serial.bstrVal = SysAllocString(grabber_->Serial().c_str());
    const HRESULT result = serial.bstrVal != nullptr ? bag->Write(kBagSerial, &serial) : E_OUTOFMEMORY;
    VariantClear(&serial);
    return result;
}

STDMETHODIMP SourceFilter::GetPages(CAUUID* pages)
{
    if (pages == nullptr) {
        return E_POINTER;
    }
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
    if (pages->pElems == nullptr) {
        pages->cElems = 0;
        return E_OUTOFMEMORY;
    }
    pages->cElems = 1;
    pages->pElems[0] = kPropertyPageClass;
    return S_OK;
}

HRESULT SourceFilter::WithAdjustments(const std::function<HRESULT(ICorvathAdjustment&)>& use)
{
    const Guard guard(stateLock_);
    DeviceGrabber* grabber = nullptr;
    if (const HRESULT result = OpenGrabber(grabber); FAILED(result)) {
        return result;
    }
    const ComPtr<ICorvathAdjustment> adjustments = grabber->Adjustments();
    return adjustments ? use(*adjustments.Get()) : E_NOINTERFACE;
}

STDMETHODIMP SourceFilter::GetRange(long property, long* minimum, long* maximum, long* step, long* defaultValue, long* flags)
{
    if (minimum == nullptr || maximum == nullptr || step == nullptr || defaultValue == nullptr || flags == nullptr) {
        return E_POINTER;
    }
    return WithAdjustments([&](ICorvathAdjustment& adjustments) {
        ProcAmpRange range;
        const HRESULT result = GetProcAmpRange(adjustments, property, range);
        if (SUCCEEDED(result)) {
            *minimum = range.minimum;
            *maximum = range.maximum;
            *step = range.step;
            *defaultValue = range.defaultValue;
            *flags = range.capsFlags;
        }
        return result;
    });
}

STDMETHODIMP SourceFilter::Set(long property, long value, long flags)
{
    return WithAdjustments([&](ICorvathAdjustment& adjustments) { return SetProcAmpValue(adjustments, property, value, flags); });
}

STDMETHODIMP SourceFilter::Get(long property, long* value, long* flags)
{
    if (value == nullptr || flags == nullptr) {
        return E_POINTER;
    }
    return WithAdjustments([&](ICorvathAdjustment& adjustments) { return GetProcAmpValue(adjustments, property, *value, *flags); });
}

STDMETHODIMP SourceFilter::GetNumDropped(long* dropped)
{
    if (dropped == nullptr) {
        return E_POINTER;
    }
    *dropped = ledger_.Dropped();
    return S_OK;
}

STDMETHODIMP SourceFilter::GetNumNotDropped(long* delivered)
{
    if (delivered == nullptr) {
        return E_POINTER;
    }
    *delivered = ledger_.DeliveredCount();
    return S_OK;
}

STDMETHODIMP SourceFilter::GetDroppedInfo(long size, long* frames, long* copied)
{
    if (frames == nullptr || copied == nullptr) {
        return E_POINTER;
    }
    if (size <= 0) {
        return E_INVALIDARG;
    }
    const std::vector<LONG> drops = ledger_.RecentDrops(static_cast<size_t>(size));
    std::copy(drops.begin(), drops.end(), frames);
    *copied = static_cast<long>(drops.size());
    return S_OK;
}

STDMETHODIMP SourceFilter::GetAverageFrameSize(long* bytes)
{
    if (bytes == nullptr) {
        return E_POINTER;
    }
    *bytes = ledger_.AverageFrameSize();
    return S_OK;
}

STDMETHODIMP SourceFilter::GetDeviceSerial(BSTR* serial)
{
    if (serial == nullptr) {
        return E_POINTER;
    }
    const Guard guard(stateLock_);
    if (!grabber_) {
        *serial = nullptr;
        return kNoDevice;
    }
    *serial = SysAllocString(grabber_->Serial().c_str());
    return *serial != nullptr ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP SourceFilter::GetAdjustments(ICorvathAdjustment** adjustments)
{
    if (adjustments == nullptr) {
        return E_POINTER;
    }
    *adjustments = nullptr;
    return WithAdjustments([&](ICorvathAdjustment& found) {
        *adjustments = &found;
        found.AddRef();
        return S_OK;
    });
}

STDMETHODIMP SourceFilter::GetProfile(BSTR* path)
{
    if (path == nullptr) {
        return E_POINTER;
    }
    const Guard guard(stateLock_);
    if (!grabber_) {
        *path = nullptr;
        return kNoDevice;
    }
    *path = SysAllocString(grabber_->RememberedProfile().c_str());
    return *path != nullptr ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP SourceFilter::UseProfile(const wchar_t* path)
{
    if (path == nullptr) {
        return E_POINTER;
    }
    const Guard guard(stateLock_);
    if (!grabber_) {
        return kNoDevice;
    }
    if (state_ != State_Stopped) {
        return VFW_E_NOT_STOPPED;
    }
    const std::wstring previous = grabber_->RememberedProfile();
    if (!grabber_->RememberProfile(path)) {
        return E_ACCESSDENIED;
    }
    // The module reads the board file when it opens the board: open it anew with the new file.
    grabber_->Close();
    DeviceGrabber* grabber = nullptr;
    HRESULT result = OpenGrabber(grabber);
    if (FAILED(result)) {
        grabber_->RememberProfile(previous);
        grabber_->Close();
        OpenGrabber(grabber);
        return result;
    }
    return pin_.RefitConnection();
}

}  // namespace orvane::videosource
