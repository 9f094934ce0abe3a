// Replaces the global allocation functions to count heap use while a flag is
// set, so a test or benchmark can prove that a real-time path never allocates.
// The replacements are global: allocations inside dlopen'ed libraries count too.
//
// Include this header in exactly one source file of a program: it defines the
// replacement operators, which must exist once per program.
#pragma once

#include <atomic>
#include <cstdlib>
#include <new>

namespace testsupport {

inline std::atomic<bool> g_countAllocations{false};
inline std::atomic<long> g_allocations{0};

inline void* CountedAllocate(std::size_t size) {
    if (g_countAllocations.load(std::memory_order_relaxed))
        g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

} // namespace testsupport

// GCC's -Wmismatched-new-delete cannot see that this delete pairs with the
// malloc-based new above, so it is silenced for these definitions alone.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    return testsupport::CountedAllocate(size);
}
void* operator new[](std::size_t size) {
    return testsupport::CountedAllocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return testsupport::CountedAllocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
#pragma GCC diagnostic pop
