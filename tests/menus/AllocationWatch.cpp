#include "menus/AllocationWatch.h"

#include <atomic>
#include <cstdlib>
#include <new>

// Kept apart from the tests, so that no call to the replaced operators is inlined into them.

namespace {
std::atomic<bool> g_watching{false};
std::atomic<size_t> g_largest{0};
} // namespace

TAllocationWatch::TAllocationWatch() {
    g_largest = 0;
    g_watching = true;
}

TAllocationWatch::~TAllocationWatch() {
    g_watching = false;
}

size_t TAllocationWatch::Largest() const {
    return g_largest.load();
}

void* operator new(std::size_t size) {
    if (g_watching.load(std::memory_order_relaxed)) {
        size_t largest = g_largest.load();
        while (size > largest && !g_largest.compare_exchange_weak(largest, size)) {
        }
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept {
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
