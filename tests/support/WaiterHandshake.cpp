#include "tests/support/WaiterHandshake.h"

#include <gtest/gtest.h>
#include <winternl.h>

#include <set>
#include <vector>

#include "tests/support/BoundedWait.h"

namespace orvane::test {
namespace {

// The system's list of open handles, as NtQuerySystemInformation's handle class returns it.
struct HandleEntry {
    ULONG ownerProcessId;
    BYTE objectType;
    BYTE flags;
    USHORT handleValue;
    PVOID object;
    ACCESS_MASK grantedAccess;
};
struct HandleTable {
    ULONG count;
    HandleEntry handles[1];
};
constexpr auto kSystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);
constexpr auto kObjectNameInformation = static_cast<OBJECT_INFORMATION_CLASS>(1);
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);

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
    std::vector<BYTE> table(1 << 20);
    ULONG length = 0;
    NTSTATUS status = 0;
    while ((status = NtQuerySystemInformation(kSystemHandleInformation, table.data(),
                                              static_cast<ULONG>(table.size()), &length)) == kInfoLengthMismatch) {
        table.resize(table.size() * 2);
    }
    if (status != 0) {
        ADD_FAILURE() << "the handle table cannot be read: status " << std::hex << status;
        return {};
    }
    const auto* handles = reinterpret_cast<const HandleTable*>(table.data());
    std::wstring wanted = L"\\BaseNamedObjects\\";
    for (const char c : prefix) {
        wanted += static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    std::set<std::wstring> found;
    for (ULONG i = 0; i < handles->count; ++i) {
        const HandleEntry& entry = handles->handles[i];
        if (entry.ownerProcessId != GetCurrentProcessId()) {
            continue;
        }
        const std::wstring name = ObjectName(reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(entry.handleValue)));
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
