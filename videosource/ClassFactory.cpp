#include "videosource/ClassFactory.h"

#include <new>

#include "videosource/PropertyPage.h"
#include "videosource/SourceFilter.h"
#include "videosource/VideoSourceIds.h"

namespace orvane::videosource {

HRESULT ClassFactory::Get(REFCLSID clsid, REFIID iid, void** object)
{
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    Maker maker = nullptr;
    if (IsEqualCLSID(clsid, kFilterClass)) {
        maker = &SourceFilter::Create;
    } else if (IsEqualCLSID(clsid, kPropertyPageClass)) {
        maker = &PropertyPage::Create;
    } else {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    auto* factory = new (std::nothrow) ClassFactory(maker);
    if (factory == nullptr) {
        return E_OUTOFMEMORY;
    }
    const HRESULT result = factory->QueryInterface(iid, object);
    factory->Release();
    return result;
}

STDMETHODIMP ClassFactory::QueryInterface(REFIID iid, void** object)
{
    if (object == nullptr) {
        return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) ClassFactory::AddRef()
{
    return ++references_;
}

STDMETHODIMP_(ULONG) ClassFactory::Release()
{
    const ULONG left = --references_;
    if (left == 0) {
        delete this;
    }
    return left;
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object)
{
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (outer != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    return maker_(iid, object);
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock)
{
    videosource::LockServer(lock != FALSE);
    return S_OK;
}

}  // namespace orvane::videosource
