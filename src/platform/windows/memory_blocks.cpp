#include "platform/memory_blocks.h"

#include <malloc.h>

void* allocateMemoryBlock(size_t bytes) {
    // The C runtime of Windows has no aligned_alloc; blocks are never freed,
    // so the matching _aligned_free is never needed either. Large pages need
    // a privilege ordinary users lack, so plain pages serve.
    return _aligned_malloc(bytes, bytes);
}

void* allocateLargeBlock(size_t bytes) {
    // The C runtime's heap hands blocks this large to the system's virtual
    // memory of their own, apart from its small allocations.
    return _aligned_malloc(bytes, LARGE_BLOCK_UNIT);
}

void releaseLargeBlock(void* block, size_t) {
    _aligned_free(block);
}
