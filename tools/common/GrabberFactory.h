#pragma once
// Creates the grabber object the way a host does (through the COM runtime and the registration),
// or straight from the module file beside the program, without any registration.
#include <windows.h>

#include <string>

#include "CorvathSdk.h"
#include "platform/ComPtr.h"

namespace orvane::host {

enum class Creation {
    Registered,  // CoCreateInstance with the registered class
    ModuleFile,  // LoadLibrary + DllGetClassObject of Orvane.dll beside the program
};

class GrabberFactory {
public:
    GrabberFactory() = default;
    ~GrabberFactory();
    GrabberFactory(const GrabberFactory&) = delete;
    GrabberFactory& operator=(const GrabberFactory&) = delete;

    // On failure `error` tells the user what to do.
    HRESULT Create(Creation how, ComPtr<ICorvathGenericGrabber>& grabber, std::string& error);

private:
    HMODULE module_ = nullptr;  // only for Creation::ModuleFile; freed after the object is gone
};

}  // namespace orvane::host
