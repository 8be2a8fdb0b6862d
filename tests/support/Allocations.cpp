#include "Allocations.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> Count{0};
std::atomic<bool> Watching{false};
std::atomic<std::size_t> LargestSeen{0};
std::atomic<std::size_t> TotalSeen{0};

void* Allocate(std::size_t size) noexcept
{
    Count.fetch_add(1, std::memory_order_relaxed);
    if (Watching.load(std::memory_order_relaxed)) {
        TotalSeen.fetch_add(size, std::memory_order_relaxed);
        std::size_t seen = LargestSeen.load(std::memory_order_relaxed);
        while (size > seen && !LargestSeen.compare_exchange_weak(seen, size)) {}
    }
    return std::malloc(size ? size : 1);
}

} // namespace

// Every form but the aligned ones (those stay with the runtime, in pairs).
void* operator new(std::size_t size)
{
    if (void* p = Allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size)
{
    if (void* p = Allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace tarn::test {

long AllocationCount() { return Count.load(); }

TAllocationWatch::TAllocationWatch()
{
    LargestSeen = 0;
    TotalSeen = 0;
    Watching = true;
}

TAllocationWatch::~TAllocationWatch() { Watching = false; }

std::size_t TAllocationWatch::Largest() const { return LargestSeen.load(); }
std::size_t TAllocationWatch::Total() const { return TotalSeen.load(); }

} // namespace tarn::test
