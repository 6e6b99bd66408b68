// Large blocks of memory for the entry pools (archive/entry_arena.h). One
// implementation per platform folder (posix/memory_blocks.cpp, ...).
#pragma once

#include <cstddef>

// Returns `bytes` of memory aligned to `bytes` (a power of two of at least 64
// KiB), backed by huge pages where the system offers them and `bytes` is a
// huge page; null when there is no memory. Blocks are kept until the process
// ends and are never given back.
void* allocateMemoryBlock(size_t bytes);
