// Replaces the basic forms of the global operator new and delete. The standard library's
// array, nothrow and sized forms all end in these, so every allocation passes here. The state must
// be process-wide to see allocations from any thread; it is touched only through the header.
#include "tests/buffers/AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<bool> g_counting{false};
std::atomic<long long> g_allocations{0};
std::atomic<long long> g_deallocations{0};
}  // namespace

namespace orvane::test {

void StartCountingAllocations()
{
    g_allocations = 0;
    g_deallocations = 0;
    g_counting = true;
}

AllocationCount StopCountingAllocations()
{
    g_counting = false;
    return AllocationCount{g_allocations.load(), g_deallocations.load()};
}

}  // namespace orvane::test

void* operator new(std::size_t size)
{
    if (g_counting.load(std::memory_order_relaxed)) {
        g_allocations.fetch_add(1, std::memory_order_relaxed);
    }
    if (void* memory = std::malloc(size != 0 ? size : 1)) {
        return memory;
    }
    throw std::bad_alloc();
}

void operator delete(void* memory) noexcept
{
    if (memory != nullptr && g_counting.load(std::memory_order_relaxed)) {
        g_deallocations.fetch_add(1, std::memory_order_relaxed);
    }
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    operator delete(memory);
}
