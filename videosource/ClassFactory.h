#pragma once
// The class factory of the filter and of its property page: one object, told which to make.
#include <unknwn.h>

#include <atomic>

#include "videosource/ServerLock.h"

namespace orvane::videosource {

class ClassFactory final : public IClassFactory {
public:
    using Maker = HRESULT (*)(REFIID iid, void** object);

    // The factory for `clsid`; CLASS_E_CLASSNOTAVAILABLE for a class of no one's.
    static HRESULT Get(REFCLSID clsid, REFIID iid, void** object);

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    explicit ClassFactory(Maker maker) : maker_(maker) {}
    ~ClassFactory() = default;

    std::atomic<ULONG> references_{1};
    ObjectCount alive_;
    Maker maker_;
};

}  // namespace orvane::videosource
