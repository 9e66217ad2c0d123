#pragma once
// What an application or a test may name of the video source: its classes, the device values it
// writes, the registry path of a device and the results it fails with.
#include <windows.h>

#include <string>

namespace orvane::videosource {

// The filter (one per device: the device's moniker creates it and tells it the serial) and its
// property page.
// {6831FF8E-0456-40E0-8E72-621D381B3B61}
inline constexpr CLSID kFilterClass = {0x6831ff8e, 0x0456, 0x40e0, {0x8e, 0x72, 0x62, 0x1d, 0x38, 0x1b, 0x3b, 0x61}};
// {7A81CB36-BCCC-4D73-94DC-E14B5CE57C69}
inline constexpr CLSID kPropertyPageClass = {0x7a81cb36, 0xbccc, 0x4d73, {0x94, 0xdc, 0xe1, 0x4b, 0x5c, 0xe5, 0x7c, 0x69}};

inline constexpr wchar_t kFilterName[] = L"Orvane Video Source";
inline constexpr wchar_t kPageName[] = L"Orvane Video Source Properties";
inline constexpr wchar_t kPinName[] = L"Capture";

// Values of a device's property bag besides the platform's "FriendlyName" and "CLSID".
inline constexpr wchar_t kBagDevicePath[] = L"DevicePath";
inline constexpr wchar_t kBagSerial[] = L"Serial";

// The host registry path of the device with that serial, below HKEY_CURRENT_USER, with its
// trailing separator: "Software\OrvaneVideoSource\<serial>\". The module keeps its values in the
// path followed by "Orvane".
std::wstring DeviceRegistryPath(const std::wstring& serial);
std::wstring DeviceModuleKey(const std::wstring& serial);

// Results of the filter's own, besides the platform's (VFW_E_NO_CAPTURE_HARDWARE when the board
// cannot be opened). Each failure also leaves one line with its reason on the debug output.
inline constexpr HRESULT kNoProfile = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0xA201);    // no usable board file
inline constexpr HRESULT kNoSignal = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0xA202);     // no video on the input
inline constexpr HRESULT kBoardStalled = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0xA203); // EC_ERRORABORT: frames stopped
inline constexpr HRESULT kNoDevice = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0xA204);     // filter not bound to a device

// The name of one of the results above, or of the platform's that the filter answers with; empty
// for any other.
const char* ResultName(HRESULT result);

}  // namespace orvane::videosource
