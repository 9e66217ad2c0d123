#include "module/ServerModule.h"

#include "Orvane.h"
#include "module/CorvathOrvane.h"
#include "platform/InterfaceBoundary.h"
#include "module/ModuleLock.h"
#include "module/TypeLibraryRegistration.h"

namespace orvane {

void CServerModule::Initialize(HMODULE module, REFGUID libraryId) noexcept
{
    module_ = module;
    libraryId_ = libraryId;
    objects_[0] = ObjectEntry{&CLSID_CorvathOrvane, &CCorvathOrvane::CreateInstance, &CCorvathOrvane::UpdateRegistry,
                              nullptr};
}

void CServerModule::Terminate() noexcept
{
    std::lock_guard<std::mutex> guard(lock_);
    for (ObjectEntry& entry : objects_) {
        if (entry.factory != nullptr) {
            entry.factory->Release();
            entry.factory = nullptr;
        }
    }
}

HRESULT CServerModule::CanUnloadNow() const noexcept
{
    return ModuleLockCount() == 0 ? S_OK : S_FALSE;
}

HRESULT CServerModule::GetClassObject(REFCLSID clsid, REFIID iid, void** object) noexcept
{
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    for (ObjectEntry& entry : objects_) {
        if (entry.clsid == nullptr || !IsEqualCLSID(clsid, *entry.clsid)) {
            continue;
        }
        std::lock_guard<std::mutex> guard(lock_);
        if (entry.factory == nullptr) {
            entry.factory = CClassFactory::Create(entry.create);
            if (entry.factory == nullptr) {
                return E_OUTOFMEMORY;
            }
        }
        return entry.factory->QueryInterface(iid, object);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CServerModule::RegisterServer() noexcept
{
    return CallAtInterface([&]() -> HRESULT {
        for (const ObjectEntry& entry : objects_) {
            if (const HRESULT result = entry.updateRegistry(module_, true); FAILED(result)) {
                return result;
            }
        }
        return RegisterModuleTypeLibrary(module_);
    });
}

HRESULT CServerModule::UnregisterServer() noexcept
{
    return CallAtInterface([&]() -> HRESULT {
        for (const ObjectEntry& entry : objects_) {
            if (const HRESULT result = entry.updateRegistry(module_, false); FAILED(result)) {
                return result;
            }
        }
        return UnregisterModuleTypeLibrary(libraryId_);
    });
}

}  // namespace orvane
