#include "platform/memory_blocks.h"

#include <sys/mman.h>

#include <cstdint>
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
    // Mapped past the block by one unit, so that an aligned block lies inside;
    // the rest is unmapped again.
    const size_t mapped = bytes + LARGE_BLOCK_UNIT;
    void* start = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (start == MAP_FAILED)
        return nullptr;
    const auto address = reinterpret_cast<uintptr_t>(start);
    const uintptr_t aligned = (address + LARGE_BLOCK_UNIT - 1) & ~uintptr_t{LARGE_BLOCK_UNIT - 1};
    if (aligned > address)
        munmap(start, aligned - address);
    if (aligned + bytes < address + mapped)
        munmap(reinterpret_cast<void*>(aligned + bytes), address + mapped - (aligned + bytes));
    void* block = reinterpret_cast<void*>(aligned);
    // Where huge pages are given only on request, a table of millions of
    // records would otherwise cost a page fault per 4 KB the first time.
    madvise(block, bytes, MADV_HUGEPAGE);
    return block;
}

void releaseLargeBlock(void* block, size_t bytes) {
    if (block != nullptr)
        munmap(block, bytes);
}
