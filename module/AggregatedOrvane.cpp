#include "module/AggregatedOrvane.h"

namespace orvane {

namespace {
// Same guard as the object's own: no second teardown from references taken during the first.
constexpr LONG kDestroying = -1073741823;  // 0xC0000001
}  // namespace

STDMETHODIMP CAggregatedOrvane::QueryInterface(REFIID iid, void** object)
{
    if (object == nullptr) {
        return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown)) {
        *object = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    return object_.InternalQueryInterface(iid, object);
}

STDMETHODIMP_(ULONG) CAggregatedOrvane::AddRef()
{
    return static_cast<ULONG>(++refCount_);
}

STDMETHODIMP_(ULONG) CAggregatedOrvane::Release()
{
    const LONG remaining = --refCount_;
    if (remaining == 0) {
        refCount_ = kDestroying;
        delete this;
    }
    return static_cast<ULONG>(remaining);
}

}  // namespace orvane
