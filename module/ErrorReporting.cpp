#include "module/ErrorReporting.h"

#include <oleauto.h>

#include "Orvane.h"
#include "platform/ComPtr.h"
#include "platform/UniqueBstr.h"

namespace orvane {

namespace {

// The object's registered ProgID, e.g. "Orvane.CorvathOrvane.1"; left out when it is not registered.
void SetSource(ICreateErrorInfo* error)
{
    LPOLESTR progId = nullptr;
    if (SUCCEEDED(ProgIDFromCLSID(CLSID_CorvathOrvane, &progId)) && progId != nullptr) {
        error->SetSource(progId);
    }
    CoTaskMemFree(progId);
}

}  // namespace

HRESULT ReportError(const char* message, HRESULT result) noexcept
{
    const UniqueBstr description = UniqueBstr::FromAnsi(message);
    if (description.Get() == nullptr) {
        return E_OUTOFMEMORY;
    }
    ComPtr<ICreateErrorInfo> error;
    if (SUCCEEDED(CreateErrorInfo(error.Put())) && error) {
        error->SetGUID(GUID_NULL);
        SetSource(error.Get());
        error->SetDescription(description.Get());
        ComPtr<IErrorInfo> info;
        if (SUCCEEDED(error.QueryTo(IID_IErrorInfo, info))) {
            SetErrorInfo(0, info.Get());
        }
    }
    return result != S_OK ? result : DISP_E_EXCEPTION;
}

}  // namespace orvane
