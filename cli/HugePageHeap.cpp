#include "HugePageHeap.h"

#if defined(__GLIBC__) && defined(__linux__) && !defined(__SANITIZE_ADDRESS__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>
#define GRIDMINT_HUGE_PAGE_HEAP 1
#endif

namespace gridmint::cli {

#if defined(GRIDMINT_HUGE_PAGE_HEAP) && defined(MADV_HUGEPAGE)

namespace {

constexpr size_t hugePage = size_t{2} << 20;
constexpr size_t smallestWorthIt = size_t{8} << 20;  // a smaller page's tables fit in a few faults
constexpr size_t probeSize = 64 << 10;               // below the size malloc maps by itself

void* currentBreak() {
    return sbrk(0);
}

}  // namespace

void prepareHeapForPage(size_t pageBytes) {
    if (pageBytes < smallestWorthIt || pageBytes > (size_t{1} << 40)) return;
    const size_t room = (2 * pageBytes + hugePage - 1) / hugePage * hugePage;
    // The next growth of the heap brings `room` bytes with it, and freeing must not give
    // them back.
    if (mallopt(M_TOP_PAD, static_cast<int>(std::min(room, size_t{1} << 30))) == 0) return;
    mallopt(M_TRIM_THRESHOLD, static_cast<int>(std::min(2 * room, size_t{1} << 30)));
    // Small allocations until the heap grows (the first few may fit in room it already has).
    void* const before = currentBreak();
    std::vector<void*> probes;
    while (currentBreak() == before && probes.size() < 64) {
        void* probe = std::malloc(probeSize);
        if (!probe) break;
        probes.push_back(probe);
    }
    for (void* probe : probes) std::free(probe);
    const auto pageSize = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto start =
        (reinterpret_cast<std::uintptr_t>(before) + pageSize - 1) / pageSize * pageSize;
    const auto end = reinterpret_cast<std::uintptr_t>(currentBreak());
    if (end > start) {
        madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
    }
}

#else

void prepareHeapForPage(size_t) {}

#endif

}  // namespace gridmint::cli
