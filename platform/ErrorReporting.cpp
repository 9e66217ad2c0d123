#include "platform/ErrorReporting.h"

#include <oleauto.h>

#include "platform/ComPtr.h"
#include "platform/UniqueBstr.h"

namespace orvane {

namespace {

// The grabber's ProgID, as its registry script names it: where a host sees the error come from.
constexpr wchar_t kErrorSource[] = L"Orvane.CorvathOrvane.1";

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
        error->SetSource(const_cast<LPOLESTR>(kErrorSource));
        error->SetDescription(description.Get());
        ComPtr<IErrorInfo> info;
        if (SUCCEEDED(error.QueryTo(IID_IErrorInfo, info))) {
            SetErrorInfo(0, info.Get());
        }
    }
    return result != S_OK ? result : DISP_E_EXCEPTION;
}

}  // namespace orvane
