// The grabber object's lifetime, identity and the interfaces it serves by itself: its interface
// table, error support and automation.
#include "module/CorvathOrvane.h"

#include <new>

#include "card/OrvaneCard.h"
#include "module/AggregatedOrvane.h"
#include "module/ModuleLock.h"
#include "module/RegistryScript.h"
#include "module/ResourceIds.h"

using orvane::ComPtr;

namespace {

// While the object tears itself down, reference changes made on the way (by the card or by code it
// calls) must not bring the count to zero a second time.
constexpr LONG kDestroying = -1073741823;  // 0xC0000001

struct InterfaceEntry {
    const IID* iid;
    IUnknown* (*pointer)(CCorvathOrvane* object) noexcept;
};

template <typename Interface>
IUnknown* InterfaceOf(CCorvathOrvane* object) noexcept
{
    return static_cast<Interface*>(object);
}

// Looked up in this order. IUnknown is not in the table: it is answered with the first row's
// pointer, which is the object's identity.
constexpr InterfaceEntry kInterfaces[] = {
    {&IID_ICorvathOrvane, &InterfaceOf<ICorvathOrvane>},
    {&IID_IDispatch, &InterfaceOf<ICorvathOrvane>},
    {&IID_ISupportErrorInfo, &InterfaceOf<ISupportErrorInfo>},
    {&IID_ISpecifyPropertyPages, &InterfaceOf<ISpecifyPropertyPages>},
    {&IID_ICorvathGenericGrabber, &InterfaceOf<ICorvathGenericGrabber>},
    {&IID_ICorvathImageProp, &InterfaceOf<ICorvathImageProp>},
    {&IID_ICorvathConfigurationFileProp, &InterfaceOf<ICorvathConfigurationFileProp>},
    {&IID_ICorvathBufferUsageProp, &InterfaceOf<ICorvathBufferUsageProp>},
    {&IID_ICorvathTimeSourceProp, &InterfaceOf<CTimeSourceInterface>},
    {&IID_ICorvathAdjustment, &InterfaceOf<CAdjustmentSupportInterface>},
    {&IID_ICorvathGenericButtonClickProp, &InterfaceOf<ICorvathGenericButtonClickProp>},
    {&IID_ICorvathSettingsProp, &InterfaceOf<CSettingInterface>},
    {&IID_IOrvaneFrameCounters, &InterfaceOf<IOrvaneFrameCounters>},
};

}  // namespace

CCorvathOrvane::CCorvathOrvane(IUnknown* outer) noexcept : outer_(outer)
{
    orvane::LockModule();
}

CCorvathOrvane::~CCorvathOrvane()
{
    // The host stops grabbing before its final release; the card closes the board as it goes.
    card_.reset();
    if (ITypeInfo* info = typeInfo_.exchange(nullptr)) {
        info->Release();
    }
    // Only now may the module be unloaded: the card's teardown runs code of this module.
    orvane::UnlockModule();
    // The settings, adjustment and time-source bases follow, in that order.
}

HRESULT CCorvathOrvane::CreateInstance(IUnknown* outer, REFIID iid, void** object) noexcept
{
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (outer != nullptr) {
        if (!IsEqualIID(iid, IID_IUnknown)) {
            return CLASS_E_NOAGGREGATION;
        }
        auto* aggregate = new (std::nothrow) orvane::CAggregatedOrvane(outer);
        if (aggregate == nullptr) {
            return E_OUTOFMEMORY;
        }
        aggregate->AddRef();
        const HRESULT result = aggregate->QueryInterface(iid, object);
        aggregate->Release();
        return result;
    }
    auto* created = new (std::nothrow) CCorvathOrvane(nullptr);
    if (created == nullptr) {
        return E_OUTOFMEMORY;
    }
    created->InternalAddRef();
    const HRESULT result = created->InternalQueryInterface(iid, object);
    created->InternalRelease();
    return result;
}

HRESULT CCorvathOrvane::UpdateRegistry(HMODULE module, bool registering) noexcept
{
    return orvane::CallAtInterface([&]() -> HRESULT {
        return orvane::UpdateRegistryFromResource(
            module, IDR_ORVANE_REGISTRY, registering ? orvane::ScriptMode::Register : orvane::ScriptMode::Unregister);
    });
}

HRESULT CCorvathOrvane::InternalQueryInterface(REFIID iid, void** object) noexcept
{
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    IUnknown* found = nullptr;
    if (IsEqualIID(iid, IID_IUnknown)) {
        found = kInterfaces[0].pointer(this);
    } else {
        for (const InterfaceEntry& entry : kInterfaces) {
            if (IsEqualIID(iid, *entry.iid)) {
                found = entry.pointer(this);
                break;
            }
        }
    }
    if (found == nullptr) {
        return E_NOINTERFACE;
    }
    // Through the interface, so an aggregated object counts the reference on its outer object.
    found->AddRef();
    *object = found;
    return S_OK;
}

ULONG CCorvathOrvane::InternalAddRef() noexcept
{
    return static_cast<ULONG>(++refCount_);
}

ULONG CCorvathOrvane::InternalRelease() noexcept
{
    const LONG remaining = --refCount_;
    if (remaining == 0) {
        refCount_ = kDestroying;
        delete this;
    }
    return static_cast<ULONG>(remaining);
}

STDMETHODIMP CCorvathOrvane::QueryInterface(REFIID iid, void** object)
{
    return outer_ != nullptr ? outer_->QueryInterface(iid, object) : InternalQueryInterface(iid, object);
}

STDMETHODIMP_(ULONG) CCorvathOrvane::AddRef()
{
    return outer_ != nullptr ? outer_->AddRef() : InternalAddRef();
}

STDMETHODIMP_(ULONG) CCorvathOrvane::Release()
{
    return outer_ != nullptr ? outer_->Release() : InternalRelease();
}

STDMETHODIMP CCorvathOrvane::InterfaceSupportsErrorInfo(REFIID iid)
{
    return IsEqualIID(iid, IID_ICorvathOrvane) ? S_OK : S_FALSE;
}

HRESULT CCorvathOrvane::LoadTypeInfo() noexcept
{
    if (typeInfo_.load(std::memory_order_acquire) != nullptr) {
        return S_OK;
    }
    ComPtr<ITypeLib> library;
    if (const HRESULT result = LoadRegTypeLib(LIBID_ORVANELib, 1, 0, LANG_NEUTRAL, library.Put()); FAILED(result)) {
        return result;
    }
    ComPtr<ITypeInfo> loaded;
    if (const HRESULT result = library->GetTypeInfoOfGuid(IID_ICorvathOrvane, loaded.Put()); FAILED(result)) {
        return result;
    }
    // Two threads may load at once: the first to publish wins, the other's copy is released.
    ITypeInfo* expected = nullptr;
    if (typeInfo_.compare_exchange_strong(expected, loaded.Get(), std::memory_order_acq_rel)) {
        loaded.Detach();
    }
    return S_OK;
}

STDMETHODIMP CCorvathOrvane::GetTypeInfoCount(UINT* count)
{
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 1;
    return S_OK;
}

STDMETHODIMP CCorvathOrvane::GetTypeInfo(UINT index, LCID, ITypeInfo** info)
{
    if (info == nullptr) {
        return E_POINTER;
    }
    *info = nullptr;
    if (index != 0) {
        return DISP_E_BADINDEX;
    }
    if (const HRESULT result = LoadTypeInfo(); FAILED(result)) {
        return result;
    }
    *info = ComPtr<ITypeInfo>(typeInfo_.load(std::memory_order_acquire)).Detach();
    return S_OK;
}

STDMETHODIMP CCorvathOrvane::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    if (!IsEqualIID(iid, IID_NULL)) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    if (const HRESULT result = LoadTypeInfo(); FAILED(result)) {
        return result;
    }
    return typeInfo_.load(std::memory_order_acquire)->GetIDsOfNames(names, count, ids);
}

STDMETHODIMP CCorvathOrvane::Invoke(DISPID member, REFIID iid, LCID, WORD flags, DISPPARAMS* parameters,
                                    VARIANT* result, EXCEPINFO* exception, UINT* argumentError)
{
    if (!IsEqualIID(iid, IID_NULL)) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    if (const HRESULT loaded = LoadTypeInfo(); FAILED(loaded)) {
        return loaded;
    }
    return typeInfo_.load(std::memory_order_acquire)->Invoke(static_cast<ICorvathOrvane*>(this), member, flags, parameters, result, exception,
                             argumentError);
}
