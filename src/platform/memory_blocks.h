// Large blocks of memory: for the entry pools (archive/entry_arena.h), kept for
// the whole run, and for the editor's working tables, given back when a change
// has been worked out. One implementation per platform folder
// (posix/memory_blocks.cpp, ...).
#pragma once

#include <cstddef>

// Returns `bytes` of memory aligned to `bytes` (a power of two of at least 64
// KiB), backed by huge pages where the system offers them and `bytes` is a
// huge page; null when there is no memory. Blocks are kept until the process
// ends and are never given back.
void* allocateMemoryBlock(size_t bytes);

// The size and alignment of the blocks allocateLargeBlock hands out.
constexpr size_t LARGE_BLOCK_UNIT = 2 * 1024 * 1024;

// Returns `bytes` of memory (a multiple of LARGE_BLOCK_UNIT) aligned to
// LARGE_BLOCK_UNIT, from the system apart from the heap where it can be (so
// that the heap keeps what it holds for the small allocations around it),
// and backed by huge pages where the system offers them; null when there is
// no memory. Give it back with releaseLargeBlock.
void* allocateLargeBlock(size_t bytes);

// Gives back the block of `bytes` that allocateLargeBlock returned; null does nothing.
void releaseLargeBlock(void* block, size_t bytes);
