#pragma once
// Every operator new of a test program that links Allocations.cpp is
// counted, so a test can show that a steady drawing allocates nothing, or
// that a damaged or hostile file asks for no memory out of proportion.
#include <cstddef>

namespace tarn::test {

// Allocations since the program started.
long AllocationCount();

// While one lives: the largest single request, and the bytes asked for in all.
class TAllocationWatch {
public:
    TAllocationWatch();
    ~TAllocationWatch();
    TAllocationWatch(const TAllocationWatch&) = delete;
    TAllocationWatch& operator=(const TAllocationWatch&) = delete;

    std::size_t Largest() const;
    std::size_t Total() const;
};

} // namespace tarn::test
