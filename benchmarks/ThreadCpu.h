#pragma once
// CPU time of the threads in this process, grouped by the module whose code each thread started
// in: that tells the module's capture thread from the simulated board's producer thread.
#include <windows.h>

#include <map>
#include <string>

namespace orvane::bench {

// Thread id -> CPU time (kernel + user) in seconds.
using ThreadTimes = std::map<DWORD, double>;

struct CpuSnapshot {
    double process = 0;        // the whole process
    ThreadTimes byThread;      // every thread of the process
    std::map<DWORD, std::wstring> startModule;  // file name of the module each thread started in
};

CpuSnapshot TakeCpuSnapshot();

double ThreadCpuSeconds(HANDLE thread);

// CPU spent between two snapshots by the threads that started in `moduleName` (e.g. L"Orvane.dll").
double CpuOfModuleThreads(const CpuSnapshot& before, const CpuSnapshot& after, const std::wstring& moduleName);

}  // namespace orvane::bench
