#pragma once
// Counts the program's calls of the global operator new and delete, from any thread, while
// counting is on. The test program replaces those operators (AllocationCounter.cpp).

namespace orvane::test {

struct AllocationCount {
    long long allocations = 0;
    long long deallocations = 0;
};

void StartCountingAllocations();
AllocationCount StopCountingAllocations();

}  // namespace orvane::test
