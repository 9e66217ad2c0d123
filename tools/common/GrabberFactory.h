#pragma once
// Creates the grabber object the way a host does (through the COM runtime and the registration),
// straight from the module file beside the program, without any registration, or from the file the
// registration names without the COM runtime.
#include <windows.h>

#include <string>

#include "CorvathSdk.h"
#include "platform/ComPtr.h"

namespace orvane::host {

enum class Creation {
    Registered,  // CoCreateInstance with the registered class
    ModuleFile,  // LoadLibrary + DllGetClassObject of Orvane.dll beside the program
    // LoadLibrary + DllGetClassObject of the registered file: for a host whose threads may live in
    // an apartment that the object's apartment model would make COM refuse (a multithreaded one),
    // and which keeps the calling rules itself.
    RegisteredFile,
};

class GrabberFactory {
public:
    GrabberFactory() = default;
    ~GrabberFactory();
    GrabberFactory(const GrabberFactory&) = delete;
    GrabberFactory& operator=(const GrabberFactory&) = delete;

    // On failure `error` tells the user what to do.
    HRESULT Create(Creation how, ComPtr<ICorvathGenericGrabber>& grabber, std::string& error);

    // Leaves the module loaded for the rest of the process: for an object given up while a thread
    // may still be inside it.
    void KeepLoaded() { module_ = nullptr; }

    // The module file the registration names (InprocServer32 of the grabber's class); empty when
    // the class is not registered.
    static std::wstring RegisteredModulePath();

private:
    HMODULE module_ = nullptr;  // Creation::ModuleFile and RegisteredFile; freed after the object is gone
};

}  // namespace orvane::host
