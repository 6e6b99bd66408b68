#include "platform/memory_blocks.h"

#include <sys/mman.h>

#include <cstdlib>

namespace {

constexpr size_t HUGE_PAGE_BYTES = 2 * 1024 * 1024;
static_assert(LARGE_BLOCK_UNIT % HUGE_PAGE_BYTES == 0);

}  // namespace

void* allocateMemoryBlock(size_t bytes) {
    void* start = std::aligned_alloc(bytes, bytes);
    // Huge pages spare the kernel a page fault per 4 KB of a big tree.
    if (start != nullptr && bytes == HUGE_PAGE_BYTES)
        madvise(start, bytes, MADV_HUGEPAGE);
    return start;
}

void* allocateLargeBlock(size_t bytes) {
    void* start = std::aligned_alloc(LARGE_BLOCK_UNIT, bytes);
    // Where huge pages are given only on request, a table of millions of
    // records would otherwise cost a page fault per 4 KB the first time.
    if (start != nullptr)
        madvise(start, bytes, MADV_HUGEPAGE);
    return start;
}

void releaseLargeBlock(void* block) {
    std::free(block);
}
