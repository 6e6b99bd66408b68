#include "platform/memory_blocks.h"

#include <sys/mman.h>

#include <cstdlib>

namespace {

constexpr size_t HUGE_PAGE_BYTES = 2 * 1024 * 1024;

}  // namespace

void* allocateMemoryBlock(size_t bytes) {
    void* start = std::aligned_alloc(bytes, bytes);
    // Huge pages spare the kernel a page fault per 4 KB of a big tree.
    if (start != nullptr && bytes == HUGE_PAGE_BYTES)
        madvise(start, bytes, MADV_HUGEPAGE);
    return start;
}
