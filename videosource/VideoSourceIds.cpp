#include "videosource/VideoSourceIds.h"

#include <vfwmsgs.h>

namespace orvane::videosource {

std::wstring DeviceRegistryPath(const std::wstring& serial)
{
    return L"Software\\OrvaneVideoSource\\" + serial + L"\\";
}

std::wstring DeviceModuleKey(const std::wstring& serial)
{
    return DeviceRegistryPath(serial) + L"Orvane";
}

const char* ResultName(HRESULT result)
{
    switch (result) {
    case kNoProfile: return "no profile";
    case kNoSignal: return "no signal";
    case kBoardStalled: return "board stopped delivering";
    case kNoDevice: return "no device";
    case VFW_E_NO_CAPTURE_HARDWARE: return "no board";
    case VFW_E_NOT_STOPPED: return "not stopped";
    case VFW_E_INVALIDMEDIATYPE: return "invalid media type";
    default: return "";
    }
}

}  // namespace orvane::videosource
