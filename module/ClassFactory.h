#pragma once
// The module's class factory. The object table holds its first reference for as long as the module
// is loaded; every further reference keeps the module locked, so a host that holds on to the
// factory also holds on to the code behind it. The count may change on any thread.
#include <windows.h>
#include <unknwn.h>

#include <atomic>

namespace orvane {

class CClassFactory final : public IClassFactory {
public:
    using Creator = HRESULT (*)(IUnknown* outer, REFIID iid, void** object) noexcept;

    // A factory with one reference, the caller's; null when it cannot be allocated.
    static CClassFactory* Create(Creator creator) noexcept;

    CClassFactory(const CClassFactory&) = delete;
    CClassFactory& operator=(const CClassFactory&) = delete;

    STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;

    // An outer object may ask only for IUnknown (CLASS_E_NOAGGREGATION otherwise); the out pointer
    // is null on every failure.
    STDMETHOD(CreateInstance)(IUnknown* outer, REFIID iid, void** object) override;
    STDMETHOD(LockServer)(BOOL lock) override;

private:
    explicit CClassFactory(Creator creator) noexcept : creator_(creator) {}
    ~CClassFactory() = default;

    std::atomic<LONG> refCount_{1};
    Creator creator_;
};

}  // namespace orvane
