#include "module/RegistryScript.h"

#include <objbase.h>

#include "module/ModuleFile.h"
#include "module/Registrar.h"
#include "platform/ComApartment.h"
#include "platform/ComPtr.h"
#include "platform/Diagnostics.h"

namespace orvane {

HRESULT QuoteModulePath(std::wstring_view path, std::wstring& quoted)
{
    quoted.clear();
    if (path.size() >= MAX_PATH) {
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    for (const wchar_t c : path) {
        quoted.push_back(c);
        if (c == L'\'') {
            quoted.push_back(L'\'');
        }
    }
    return S_OK;
}

HRESULT UpdateRegistryFromResource(HMODULE module, UINT resourceId, ScriptMode mode)
{
    std::wstring path;
    if (const HRESULT result = ModuleFileName(module, path); FAILED(result)) {
        return result;
    }
    std::wstring quotedPath;
    if (const HRESULT result = QuoteModulePath(path, quotedPath); FAILED(result)) {
        return result;
    }

    // A thread already in an apartment of the other kind keeps it; the registrar lives in both.
    const ComApartment apartment;
    if (FAILED(apartment.Result()) && apartment.Result() != RPC_E_CHANGED_MODE) {
        return apartment.Result();
    }
    ComPtr<IRegistrar> registrar;
    HRESULT result =
        CoCreateInstance(kClsidRegistrar, nullptr, CLSCTX_INPROC_SERVER, kIidRegistrar, registrar.PutVoid());
    if (FAILED(result)) {
        TraceFormat("Orvane - registry script: no registrar (0x%08lX)", static_cast<unsigned long>(result));
        return result;
    }
    result = registrar->AddReplacement(L"MODULE", quotedPath.c_str());
    if (SUCCEEDED(result)) {
        // "#101": the resource's number in the text form every resource look-up accepts.
        const std::wstring id = L"#" + std::to_wstring(resourceId);
        result = mode == ScriptMode::Register ? registrar->ResourceRegisterSz(path.c_str(), id.c_str(), L"REGISTRY")
                                              : registrar->ResourceUnregisterSz(path.c_str(), id.c_str(), L"REGISTRY");
    }
    if (FAILED(result)) {
        TraceFormat("Orvane - registry script failed (0x%08lX)", static_cast<unsigned long>(result));
    }
    return result;
}

}  // namespace orvane
