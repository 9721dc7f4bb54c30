#include "heap_meter.h"

#include <cstdlib>
#include <malloc.h>
#include <new>

namespace kavrel::bench {
namespace {

thread_local bool metering = false;
thread_local long long inUse = 0;
thread_local long long peak = 0;

void* allocate(std::size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    if (metering) {
        inUse += static_cast<long long>(::malloc_usable_size(p));
        if (inUse > peak) peak = inUse;
    }
    return p;
}

void release(void* p) {
    if (!p) return;
    if (metering) inUse -= static_cast<long long>(::malloc_usable_size(p));
    std::free(p);
}

} // namespace

void startHeapMeter() {
    inUse = peak = 0;
    metering = true;
}

std::size_t peakHeapBytes() { return static_cast<std::size_t>(peak); }

void stopHeapMeter() { metering = false; }

} // namespace kavrel::bench

void* operator new(std::size_t size) { return kavrel::bench::allocate(size); }
void* operator new[](std::size_t size) { return kavrel::bench::allocate(size); }
void operator delete(void* p) noexcept { kavrel::bench::release(p); }
void operator delete[](void* p) noexcept { kavrel::bench::release(p); }
void operator delete(void* p, std::size_t) noexcept { kavrel::bench::release(p); }
void operator delete[](void* p, std::size_t) noexcept { kavrel::bench::release(p); }
