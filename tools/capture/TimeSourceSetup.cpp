#include "tools/capture/TimeSourceSetup.h"

#include <cstring>

#include "platform/ComPtr.h"
#include "platform/RegistryKey.h"

namespace orvane::capture {

namespace {

// What the module writes whenever it leaves a configured plug-in aside.
constexpr char kFallBack[] = "Defaulting to system clock";

}  // namespace

bool StoreTimeSourceOptions(host::RememberedSettings& remembered, const CaptureOptions& options, std::string& error)
{
    using host::SettingsKey;
    if (options.timeSource && !remembered.SetString(SettingsKey::Host, "TimeSourceDLL", *options.timeSource, error)) {
        return false;
    }
    if (options.timeOffset && !remembered.SetDword(SettingsKey::Host, "TimeSourceOffset", static_cast<DWORD>(*options.timeOffset), error)) {
        return false;
    }
    if (options.timecodeOffset &&
        !remembered.SetDword(SettingsKey::Host, "LTCTimeSourceOffset", static_cast<DWORD>(*options.timecodeOffset), error)) {
        return false;
    }
    if (options.timecodeMode &&
        !remembered.SetDword(SettingsKey::Host, "LTCTimeSourceMode", static_cast<DWORD>(*options.timecodeMode), error)) {
        return false;
    }
    return true;
}

TimeSourceState ReadTimeSourceState(const std::wstring& registryPath, IUnknown* grabber, const host::ProcessDebugLog& log,
                                    std::size_t logFrom)
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
    }
    if (!state.configured.empty()) {
        state.reason = log.LastContaining(kFallBack, logFrom);
        // Without the module's diagnostics (a debugger took them), a library the module refused
        // is at least no longer loaded: the module is in this process, and so is its plug-in.
        state.refused = !state.reason.empty() || (!log.Active() && GetModuleHandleA(name) == nullptr);
        if (state.refused && state.reason.empty()) {
            state.reason = "the library is not loaded";
        }
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
    } else if (!state.refused) {
        std::fprintf(out, "  time source          : %s\n", state.configured.c_str());
    } else {
        std::fprintf(out, "  time source          : system clock: the module did not use %s (%s)\n", state.configured.c_str(),
                     state.reason.c_str());
    }
    if (state.answered) {
        std::fprintf(out, "  synchronisation      : status %ld, GPS %s\n", static_cast<long>(state.synchronization),
                     state.gpsSupported != 0 ? "supported" : "not supported");
    }
}

}  // namespace orvane::capture
