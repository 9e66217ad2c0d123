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

    std::string path;
    if (how == Creation::RegisteredFile) {
        const std::wstring registered = RegisteredModulePath();
        if (registered.empty()) {
            error = "the Orvane grabber module is not registered. Register Orvane.dll with regsvr32.";
            return REGDB_E_CLASSNOTREG;
        }
        path = Narrow(registered);
        if (module_ == nullptr) {
            // The board library beside the module is found as COM would find it.
            module_ = LoadLibraryExW(registered.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        }
    } else {
        path = ProgramFolder() + "Orvane.dll";
        if (module_ == nullptr) {
            module_ = LoadLibraryA(path.c_str());
        }
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

std::wstring GrabberFactory::RegisteredModulePath()
{
    wchar_t clsid[40] = {};
    StringFromGUID2(CLSID_CorvathOrvane, clsid, 40);
    const std::wstring key = std::wstring(L"CLSID\\") + clsid + L"\\InprocServer32";
    wchar_t path[MAX_PATH] = {};
    DWORD size = sizeof path - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, path, &size) != ERROR_SUCCESS) {
        return {};
    }
    return path;
}

}  // namespace orvane::host
