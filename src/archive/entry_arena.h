// Storage for Entry and EntryInfo objects (their operator new and delete).
//
// Objects are carved out of large blocks instead of being allocated one by
// one: loading millions of entries then costs neither a heap header per object
// nor an allocator call each. A deleted object's place is reused, and once
// every object of a pool has been deleted its blocks are reused from the
// start (a tree loaded after another one needs no fresh memory). Blocks are
// kept, reachable, until the process ends, so leak checkers do not report
// the entries the program keeps on purpose.
#pragma once

#include <cstddef>
#include <vector>

class SlabPool {
  public:
    // A pool of places of `slotSize` bytes (at least a pointer's size).
    explicit SlabPool(size_t slotSize);

    // Returns room for one object of the pool's size.
    void* allocate();

    // Takes back a place that allocate returned.
    void release(void* place);

  private:
    struct Block {
        void* start;
        size_t bytes;
    };

    void nextBlock();

    size_t slotSize_;
    std::vector<Block> blocks_;
    size_t current_ = 0;    // index of the block being carved, when there is one
    char* next_ = nullptr;  // first unused place of the newest block
    char* end_ = nullptr;
    void* freeList_ = nullptr;  // released places, linked through their first bytes
    size_t live_ = 0;
};
