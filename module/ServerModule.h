#pragma once
// The in-process server: the module handle, the object table (one class, the grabber) with its
// class factory, and what the four exported entry points do.
#include <windows.h>
#include <unknwn.h>

#include <mutex>

#include "module/ClassFactory.h"

namespace orvane {

class CServerModule {
public:
    CServerModule() = default;
    CServerModule(const CServerModule&) = delete;
    CServerModule& operator=(const CServerModule&) = delete;

    // Process attach: which module file this is and which type library it carries.
    void Initialize(HMODULE module, REFGUID libraryId) noexcept;
    // Process detach: drops the table's references to the class factories.
    void Terminate() noexcept;

    HRESULT CanUnloadNow() const noexcept;
    // The class factory of a class in the table, made on first use.
    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object) noexcept;
    // Every class's registry script, then the type library.
    HRESULT RegisterServer() noexcept;
    HRESULT UnregisterServer() noexcept;

private:
    struct ObjectEntry {
        const CLSID* clsid;
        CClassFactory::Creator create;
        HRESULT (*updateRegistry)(HMODULE module, bool registering) noexcept;
        CClassFactory* factory;  // the table's reference; null until first asked for
    };

    HMODULE module_ = nullptr;
    GUID libraryId_{};
    std::mutex lock_;  // guards making the factories
    ObjectEntry objects_[1];
};

}  // namespace orvane
