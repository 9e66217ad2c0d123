#include "module/ClassFactory.h"

#include <new>

#include "module/ModuleLock.h"

namespace orvane {

CClassFactory* CClassFactory::Create(Creator creator) noexcept
{
    return new (std::nothrow) CClassFactory(creator);
}

STDMETHODIMP CClassFactory::QueryInterface(REFIID iid, void** object)
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

STDMETHODIMP_(ULONG) CClassFactory::AddRef()
{
    const LONG count = ++refCount_;
    if (count == 2) {
        LockModule();
    }
    return static_cast<ULONG>(count);
}

STDMETHODIMP_(ULONG) CClassFactory::Release()
{
    const LONG count = --refCount_;
    if (count == 1) {
        UnlockModule();
    } else if (count == 0) {
        delete this;
    }
    return static_cast<ULONG>(count);
}

STDMETHODIMP CClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object)
{
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (outer != nullptr && !IsEqualIID(iid, IID_IUnknown)) {
        return CLASS_E_NOAGGREGATION;
    }
    return creator_(outer, iid, object);
}

STDMETHODIMP CClassFactory::LockServer(BOOL lock)
{
    if (lock) {
        LockModule();
    } else {
        UnlockModule();
    }
    return S_OK;
}

}  // namespace orvane
