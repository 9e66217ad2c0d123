#include "tools/capture/TimeSourceSetup.h"

#include <cstdio>
#include <cstring>

#include "platform/ComPtr.h"
#include "platform/RegistryKey.h"

namespace orvane::capture {

namespace {

bool SetDword(HKEY key, const char* name, std::int32_t value)
{
    const DWORD data = static_cast<DWORD>(value);
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data) == ERROR_SUCCESS;
}

}  // namespace

bool StoreTimeSourceOptions(const std::wstring& registryPath, const CaptureOptions& options, std::string& error)
{
    if (!options.timeSource && !options.timeOffset && !options.timecodeOffset && !options.timecodeMode) {
        return true;
    }
    RegistryKey key;
    if (key.Create(HKEY_CURRENT_USER, registryPath.c_str()) != ERROR_SUCCESS) {
        error = "cannot write the time-source settings into the registry";
        return false;
    }
    bool ok = true;
    if (options.timeSource) {
        const std::string& text = *options.timeSource;
        ok = RegSetValueExA(key.Get(), "TimeSourceDLL", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
    }
    if (options.timeOffset) {
        ok = SetDword(key.Get(), "TimeSourceOffset", *options.timeOffset) && ok;
    }
    if (options.timecodeOffset) {
        ok = SetDword(key.Get(), "LTCTimeSourceOffset", *options.timecodeOffset) && ok;
    }
    if (options.timecodeMode) {
        ok = SetDword(key.Get(), "LTCTimeSourceMode", *options.timecodeMode) && ok;
    }
    if (!ok) {
        error = "cannot write the time-source settings into the registry";
    }
    return ok;
}

TimeSourceState ReadTimeSourceState(const std::wstring& registryPath, IUnknown* grabber)
{
    TimeSourceState state;
    char name[260] = {};
    DWORD size = sizeof name - 1;
    DWORD type = 0;
    RegistryKey key;
    if (key.Open(HKEY_CURRENT_USER, registryPath.c_str(), KEY_READ) == ERROR_SUCCESS &&
        RegQueryValueExA(key.Get(), "TimeSourceDLL", nullptr, &type, reinterpret_cast<BYTE*>(name), &size) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ) && std::strcmp(name, "System") != 0) {
        state.configured = name;
        // The module is in this process, so is the plug-in it loaded.
        state.pluginInUse = !state.configured.empty() && GetModuleHandleA(name) != nullptr;
    }
    ComPtr<ICorvathTimeSourceProp> timeSource;
    if (grabber != nullptr && SUCCEEDED(grabber->QueryInterface(IID_ICorvathTimeSourceProp, timeSource.PutVoid()))) {
        state.answered = SUCCEEDED(timeSource->GetSynchronizationStatus(&state.synchronization)) &&
                         SUCCEEDED(timeSource->IsGPSSupported(&state.gpsSupported));
    }
    return state;
}

void PrintTimeSource(std::FILE* out, const TimeSourceState& state)
{
    if (state.configured.empty()) {
        std::fprintf(out, "  time source          : system clock\n");
    } else if (state.pluginInUse) {
        std::fprintf(out, "  time source          : %s\n", state.configured.c_str());
    } else {
        std::fprintf(out, "  time source          : system clock (%s could not be used; the module fell back)\n",
                     state.configured.c_str());
    }
    if (state.answered) {
        std::fprintf(out, "  synchronisation      : status %ld, GPS %s\n", static_cast<long>(state.synchronization),
                     state.gpsSupported != 0 ? "supported" : "not supported");
    }
}

}  // namespace orvane::capture
