// The DLL's entry points: the class factories and the registration regsvr32 asks for.
#include <windows.h>

#include "platform/ComApartment.h"
#include "platform/Diagnostics.h"
#include "videosource/BoardList.h"
#include "videosource/ClassFactory.h"
#include "videosource/ClassRegistration.h"
#include "videosource/DeviceRegistration.h"
#include "videosource/OwnModule.h"
#include "videosource/ServerLock.h"

using namespace orvane::videosource;

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    return ClassFactory::Get(clsid, iid, object);
}

STDAPI DllCanUnloadNow()
{
    return ServerInUse() ? S_FALSE : S_OK;
}

// The classes, then one device per board present. Without the board library nothing stays
// registered; with no board the classes do, and no device.
STDAPI DllRegisterServer()
{
    const orvane::ComApartment apartment;
    HRESULT result = RegisterClasses(OwnFilePath());
    std::vector<BoardInfo> boards;
    std::string error;
    if (SUCCEEDED(result) && FAILED(result = ListBoards(boards, error))) {
        orvane::Trace(("OrvaneVideoSource - registration: " + error).c_str());
        UnregisterClasses();
        return result;
    }
    if (SUCCEEDED(result)) {
        result = RegisterDevices(boards);
    }
    if (FAILED(result)) {
        orvane::TraceFormat("OrvaneVideoSource - registration failed (0x%08lX)", static_cast<unsigned long>(result));
        UnregisterDevices();
        UnregisterClasses();
        return result;
    }
    orvane::TraceFormat("OrvaneVideoSource - registered %u video input device(s)", static_cast<unsigned>(boards.size()));
    return S_OK;
}

STDAPI DllUnregisterServer()
{
    const orvane::ComApartment apartment;
    const HRESULT devices = UnregisterDevices();
    const HRESULT classes = UnregisterClasses();
    return FAILED(devices) ? devices : classes;
}
