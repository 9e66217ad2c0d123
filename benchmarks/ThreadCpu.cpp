#include "benchmarks/ThreadCpu.h"

#include <tlhelp32.h>

#include <cwctype>

#include "platform/OwnedHandle.h"

namespace orvane::bench {

namespace {

double Seconds(const FILETIME& time)
{
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<double>(value.QuadPart) / 1e7;
}

// The address a thread was started at (ThreadQuerySetWin32StartAddress).
void* StartAddress(HANDLE thread)
{
    using Query = LONG(WINAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
    static const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread")));
    void* address = nullptr;
    if (query == nullptr || query(thread, 9, &address, sizeof address, nullptr) != 0) {
        return nullptr;
    }
    return address;
}

std::wstring ModuleOf(void* address)
{
    HMODULE module = nullptr;
    if (address == nullptr ||
        !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(address), &module)) {
        return L"?";
    }
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    std::wstring name(path);
    name = name.substr(name.find_last_of(L"\\/") + 1);
    for (auto& c : name) {
        c = static_cast<wchar_t>(std::towlower(c));
    }
    return name;
}

}  // namespace

double ThreadCpuSeconds(HANDLE thread)
{
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(thread, &created, &exited, &kernel, &user)) {
        return 0;
    }
    return Seconds(kernel) + Seconds(user);
}

CpuSnapshot TakeCpuSnapshot()
{
    CpuSnapshot snapshot;
    FILETIME created, exited, kernel, user;
    if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        snapshot.process = Seconds(kernel) + Seconds(user);
    }
    const HANDLE taken = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (taken == INVALID_HANDLE_VALUE) {
        return snapshot;
    }
    const orvane::UniqueKernelHandle list(taken);
    const DWORD self = GetCurrentProcessId();
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(list.Get(), &entry); more; more = Thread32Next(list.Get(), &entry)) {
        if (entry.th32OwnerProcessID != self) {
            continue;
        }
        const orvane::UniqueKernelHandle thread(OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID));
        if (!thread) {
            continue;
        }
        snapshot.byThread[entry.th32ThreadID] = ThreadCpuSeconds(thread.Get());
        snapshot.startModule[entry.th32ThreadID] = ModuleOf(StartAddress(thread.Get()));
    }
    return snapshot;
}

double CpuOfModuleThreads(const CpuSnapshot& before, const CpuSnapshot& after, const std::wstring& moduleName)
{
    double total = 0;
    for (const auto& [id, seconds] : after.byThread) {
        const auto module = after.startModule.find(id);
        if (module == after.startModule.end() || module->second != moduleName) {
            continue;
        }
        const auto earlier = before.byThread.find(id);
        total += seconds - (earlier != before.byThread.end() ? earlier->second : 0);
    }
    return total;
}

}  // namespace orvane::bench
