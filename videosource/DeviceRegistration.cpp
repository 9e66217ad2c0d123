#include "videosource/DeviceRegistration.h"

#include <dshow.h>

#include "platform/ComPtr.h"
#include "platform/RegistryKey.h"
#include "videosource/VideoSourceIds.h"

namespace orvane::videosource {

namespace {

// Where the filter mapper keeps the devices of a category.
std::wstring CategoryInstances()
{
    wchar_t category[40] = {};
    StringFromGUID2(CLSID_VideoInputDeviceCategory, category, 40);
    return std::wstring(L"CLSID\\") + category + L"\\Instance";
}

std::wstring InstanceName(const std::wstring& serial)
{
    return L"OrvaneVideoSource-" + serial;
}

HRESULT WriteText(IPropertyBag& bag, const wchar_t* name, const std::wstring& value)
{
    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(value.c_str());
    const HRESULT result = text.bstrVal != nullptr ? bag.Write(name, &text) : E_OUTOFMEMORY;
    VariantClear(&text);
    return result;
}

HRESULT Mapper(ComPtr<IFilterMapper2>& mapper)
{
    return CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2, mapper.PutVoid());
}

}  // namespace

std::wstring DeviceFriendlyName(const BoardInfo& board)
{
    return board.name + L" (" + board.serial + L")";
}

std::wstring DevicePath(const std::wstring& serial)
{
    return L"\\\\?\\orvane#videosource#" + serial + L"#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
}

HRESULT RegisterDevices(const std::vector<BoardInfo>& boards)
{
    HRESULT result = UnregisterDevices();
    ComPtr<IFilterMapper2> mapper;
    if (FAILED(result) || FAILED(result = Mapper(mapper))) {
        return result;
    }
    // One output pin of video, as every capture device's.
    REGPINTYPES video = {&MEDIATYPE_Video, &MEDIASUBTYPE_NULL};
    REGFILTERPINS pin = {nullptr, FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, nullptr, 1, &video};
    REGFILTER2 filter{};
    filter.dwVersion = 1;
    filter.dwMerit = MERIT_DO_NOT_USE;  // a device, not a filter for intelligent connect
    filter.cPins = 1;
    filter.rgPins = &pin;
    for (const BoardInfo& board : boards) {
        ComPtr<IMoniker> moniker;
        const std::wstring name = DeviceFriendlyName(board);
        const std::wstring instance = InstanceName(board.serial);
        result = mapper->RegisterFilter(kFilterClass, name.c_str(), moniker.Put(), &CLSID_VideoInputDeviceCategory,
                                        instance.c_str(), &filter);
        ComPtr<IPropertyBag> bag;
        if (SUCCEEDED(result)) {
            result = moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid());
        }
        if (SUCCEEDED(result)) {
            result = WriteText(*bag.Get(), kBagDevicePath, DevicePath(board.serial));
        }
        if (SUCCEEDED(result)) {
            result = WriteText(*bag.Get(), kBagSerial, board.serial);
        }
        if (FAILED(result)) {
            return result;
        }
    }
    return S_OK;
}

HRESULT UnregisterDevices()
{
    RegistryKey instances;
    if (instances.Open(HKEY_CLASSES_ROOT, CategoryInstances().c_str(), KEY_READ) != ERROR_SUCCESS) {
        return S_OK;  // no video device at all
    }
    wchar_t ours[40] = {};
    StringFromGUID2(kFilterClass, ours, 40);
    std::vector<std::wstring> found;
    for (DWORD index = 0;; ++index) {
        wchar_t instance[256] = {};
        DWORD length = 256;
        if (RegEnumKeyExW(instances.Get(), index, instance, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            break;
        }
        wchar_t clsid[40] = {};
        DWORD size = sizeof clsid - sizeof(wchar_t);
        if (RegGetValueW(instances.Get(), instance, L"CLSID", RRF_RT_REG_SZ, nullptr, clsid, &size) == ERROR_SUCCESS &&
            lstrcmpiW(clsid, ours) == 0) {
            found.emplace_back(instance);
        }
    }
    if (found.empty()) {
        return S_OK;
    }
    ComPtr<IFilterMapper2> mapper;
    HRESULT result = Mapper(mapper);
    for (const std::wstring& instance : found) {
        if (SUCCEEDED(result)) {
            result = mapper->UnregisterFilter(&CLSID_VideoInputDeviceCategory, instance.c_str(), kFilterClass);
        }
    }
    return result;
}

}  // namespace orvane::videosource
