#include "tools/common/GrabberFactory.h"

#include "Orvane.h"
#include "tools/common/ComErrorText.h"
#include "tools/common/ProfileInfo.h"

namespace orvane::host {

GrabberFactory::~GrabberFactory()
{
    if (module_ != nullptr) {
        FreeLibrary(module_);
    }
}

HRESULT GrabberFactory::Create(Creation how, ComPtr<ICorvathGenericGrabber>& grabber, std::string& error)
{
    if (how == Creation::Registered) {
        const HRESULT result = CoCreateInstance(CLSID_CorvathOrvane, nullptr, CLSCTX_INPROC_SERVER, IID_ICorvathGenericGrabber,
                                                grabber.PutVoid());
        if (result == REGDB_E_CLASSNOTREG || result == CLASS_E_CLASSNOTAVAILABLE || result == HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)) {
            error = "the Orvane grabber module is not registered (" + HresultHex(result) +
                    "). Run scripts/capture.sh, which registers it, or register Orvane.dll with regsvr32.";
        } else if (FAILED(result)) {
            error = "cannot create the Orvane grabber object: " + DescribeFailure(result);
        }
        return result;
    }

    const std::string path = ProgramFolder() + "Orvane.dll";
    if (module_ == nullptr) {
        module_ = LoadLibraryA(path.c_str());
    }
    if (module_ == nullptr) {
        const HRESULT result = HRESULT_FROM_WIN32(GetLastError());
        error = "cannot load " + path + ": " + DescribeFailure(result);
        return result;
    }
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto entry = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
    if (entry == nullptr) {
        error = path + " has no DllGetClassObject";
        return E_FAIL;
    }
    ComPtr<IClassFactory> factory;
    HRESULT result = entry(CLSID_CorvathOrvane, IID_IClassFactory, factory.PutVoid());
    if (SUCCEEDED(result)) {
        result = factory->CreateInstance(nullptr, IID_ICorvathGenericGrabber, grabber.PutVoid());
    }
    if (FAILED(result)) {
        error = "cannot create the Orvane grabber object from " + path + ": " + DescribeFailure(result);
    }
    return result;
}

}  // namespace orvane::host
