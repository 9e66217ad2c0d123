#include "tests/support/WaiterHandshake.h"

#include <gtest/gtest.h>
#include <winternl.h>

#include <set>

#include "tests/support/BoundedWait.h"

namespace orvane::test {
namespace {

constexpr auto kObjectNameInformation = static_cast<OBJECT_INFORMATION_CLASS>(1);

std::wstring ObjectName(HANDLE handle)
{
    alignas(UNICODE_STRING) BYTE buffer[2048];
    ULONG length = 0;
    if (NtQueryObject(handle, kObjectNameInformation, buffer, sizeof buffer, &length) != 0) {
        return {};
    }
    const auto* name = reinterpret_cast<const UNICODE_STRING*>(buffer);
    return name->Buffer != nullptr ? std::wstring(name->Buffer, name->Length / sizeof(wchar_t)) : std::wstring();
}

// A handle on the named event, closed when it goes.
struct NamedEvent {
    explicit NamedEvent(const std::string& name)
        : handle(OpenEventA(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, name.c_str()))
    {
    }
    ~NamedEvent()
    {
        if (handle != nullptr) {
            CloseHandle(handle);
        }
    }
    NamedEvent(const NamedEvent&) = delete;
    NamedEvent& operator=(const NamedEvent&) = delete;
    HANDLE handle;
};

}  // namespace

std::string FindOwnEventName(const std::string& prefix)
{
    // This process's own handles, by value, rather than the system-wide handle list: listing every
    // process's handles while other test processes start and end has crashed Wine's server here.
    // Handle values are multiples of four, handed out lowest first; past a long run of unused
    // values there are no more.
    constexpr ULONG_PTR kLastValue = 0x40000;
    constexpr int kUnusedRunEnd = 4096;
    std::wstring wanted = L"\\BaseNamedObjects\\";
    for (const char c : prefix) {
        wanted += static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    std::set<std::wstring> found;
    int unused = 0;
    for (ULONG_PTR value = 4; value <= kLastValue && unused < kUnusedRunEnd; value += 4) {
        const HANDLE handle = reinterpret_cast<HANDLE>(value);
        DWORD flags = 0;
        if (!GetHandleInformation(handle, &flags)) {
            ++unused;
            continue;
        }
        unused = 0;
        const std::wstring name = ObjectName(handle);
        const size_t at = name.find(wanted);
        if (at != std::wstring::npos) {
            found.insert(name.substr(at + wcslen(L"\\BaseNamedObjects\\")));
        }
    }
    if (found.size() != 1) {
        ADD_FAILURE() << found.size() << " events of this process are named \"" << prefix << "...\"";
        return {};
    }
    // Event names here are plain ASCII.
    std::string name;
    for (const wchar_t c : *found.begin()) {
        name += static_cast<char>(c);
    }
    return name;
}

std::string KernelObjectName(HANDLE handle)
{
    const std::wstring full = ObjectName(handle);
    const std::wstring folder = L"\\BaseNamedObjects\\";
    const size_t at = full.find(folder);
    std::string name;
    if (at != std::wstring::npos) {
        for (const wchar_t c : full.substr(at + folder.size())) {
            name += static_cast<char>(c);
        }
    }
    return name;
}

bool SetNamedEvent(const std::string& name)
{
    NamedEvent event(name);
    return event.handle != nullptr && SetEvent(event.handle) != FALSE;
}

bool WaitUntilWaiterResets(const std::string& name, DWORD milliseconds)
{
    NamedEvent event(name);
    if (event.handle == nullptr) {
        return false;
    }
    return WaitUntil(milliseconds, [&] { return WaitForSingleObject(event.handle, 0) == WAIT_TIMEOUT; });
}

}  // namespace orvane::test
