#include "videosource/check/DeviceCatalog.h"

#include "tools/common/ComErrorText.h"
#include "videosource/VideoSourceIds.h"

namespace orvane::dshowcheck {

namespace {

std::wstring ReadText(IPropertyBag& bag, const wchar_t* name)
{
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    std::wstring text;
    if (SUCCEEDED(bag.Read(name, &value, nullptr)) && value.vt == VT_BSTR && value.bstrVal != nullptr) {
        text.assign(value.bstrVal, SysStringLen(value.bstrVal));
    }
    VariantClear(&value);
    return text;
}

}  // namespace

HRESULT ListVideoDevices(std::vector<VideoDevice>& devices)
{
    devices.clear();
    ComPtr<ICreateDevEnum> enumerator;
    HRESULT result = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum, enumerator.PutVoid());
    if (FAILED(result)) {
        return result;
    }
    ComPtr<IEnumMoniker> monikers;
    result = enumerator->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.Put(), 0);
    if (result != S_OK) {
        return FAILED(result) ? result : S_FALSE;  // S_FALSE: no device of the category at all
    }
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.Put(), nullptr) == S_OK) {
        ComPtr<IPropertyBag> bag;
        if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid()))) {
            continue;
        }
        VideoDevice device;
        device.friendlyName = ReadText(*bag.Get(), L"FriendlyName");
        device.devicePath = ReadText(*bag.Get(), videosource::kBagDevicePath);
        device.serial = ReadText(*bag.Get(), videosource::kBagSerial);
        device.moniker = moniker;
        devices.push_back(std::move(device));
    }
    return devices.empty() ? S_FALSE : S_OK;
}

const VideoDevice* FindDevice(const std::vector<VideoDevice>& devices, const std::string& which)
{
    const std::wstring wanted = host::Widen(which);
    if (!which.empty() && which.size() <= 3 && which.find_first_not_of("0123456789") == std::string::npos) {
        const size_t number = std::stoul(which);
        return number >= 1 && number <= devices.size() ? &devices[number - 1] : nullptr;
    }
    for (const VideoDevice& device : devices) {
        if (lstrcmpiW(device.friendlyName.c_str(), wanted.c_str()) == 0 || (device.IsOrvane() && lstrcmpiW(device.serial.c_str(), wanted.c_str()) == 0)) {
            return &device;
        }
    }
    return nullptr;
}

}  // namespace orvane::dshowcheck
