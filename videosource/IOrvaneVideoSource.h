#pragma once
// The filter's own interface, for its property page (and any program that knows the filter): the
// device it stands for, its profile and the module's adjustments.
#include <unknwn.h>

#include "CorvathSdk.h"

namespace orvane::videosource {

// {980BD1E4-B278-473A-A7F5-4E8B43B6633D}
inline constexpr IID kIidOrvaneVideoSource = {0x980bd1e4, 0xb278, 0x473a, {0xa7, 0xf5, 0x4e, 0x8b, 0x43, 0xb6, 0x63, 0x3d}};

class IOrvaneVideoSource : public IUnknown {
public:
    // The serial number of the device's board; the caller frees the string.
    virtual HRESULT STDMETHODCALLTYPE GetDeviceSerial(BSTR* serial) = 0;
    // The module's adjustments, the board opened first if need be.
    virtual HRESULT STDMETHODCALLTYPE GetAdjustments(ICorvathAdjustment** adjustments) = 0;
    // The board file remembered for the device; empty when there is none.
    virtual HRESULT STDMETHODCALLTYPE GetProfile(BSTR* path) = 0;
    // Makes `path` the device's board file and opens the board with it: only while stopped
    // (VFW_E_NOT_STOPPED). A file the board refuses is not kept: the previous one stays.
    virtual HRESULT STDMETHODCALLTYPE UseProfile(const wchar_t* path) = 0;

protected:
    ~IOrvaneVideoSource() = default;
};

}  // namespace orvane::videosource
