// Small blocks come from the heap at first, so that a change to a small
// archive costs no more than its tables; once the tables grow, blocks are
// large ones, which the system can back with huge pages.
#include "archive/edit_arena.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include "platform/memory_blocks.h"

namespace {

constexpr size_t FIRST_BLOCK_BYTES = 64 * 1024;
// Tables at least this big get blocks of their own, given back when they grow.
constexpr size_t OWN_BLOCK_FROM = 1024 * 1024;

size_t roundUp(size_t bytes, size_t unit) {
    return (bytes + unit - 1) / unit * unit;
}

}  // namespace

EditArena::~EditArena() {
    for (const Block& block : blocks_) {
        if (block.large)
            releaseLargeBlock(block.start, block.bytes);
        else
            ::operator delete(block.start);
    }
    for (const Block& block : ownBlocks_) releaseLargeBlock(block.start, block.bytes);
}

void EditArena::addBlock(size_t bytes) {
    const bool large = bytes >= LARGE_BLOCK_UNIT;
    void* start = large ? allocateLargeBlock(bytes) : ::operator new(bytes);
    if (start == nullptr)
        throw std::bad_alloc();
    blocks_.push_back({start, bytes, large});
    next_ = static_cast<char*>(start);
    end_ = next_ + bytes;
}

void* EditArena::allocate(size_t bytes, size_t alignment) {
    bytes = std::max<size_t>(bytes, 1);
    if (bytes >= OWN_BLOCK_FROM) {
        const size_t size = roundUp(bytes, LARGE_BLOCK_UNIT);
        void* block = allocateLargeBlock(size);
        if (block == nullptr)
            throw std::bad_alloc();
        ownBlocks_.push_back({block, size, true});
        return block;
    }
    auto aligned = [&]() {
        const auto at = reinterpret_cast<uintptr_t>(next_);
        return reinterpret_cast<char*>(roundUp(at, alignment));
    };
    if (next_ == nullptr || aligned() + bytes > end_) {
        const size_t last = blocks_.empty() ? 0 : blocks_.back().bytes;
        addBlock(std::max(roundUp(bytes + alignment, FIRST_BLOCK_BYTES),
                          last == 0 ? FIRST_BLOCK_BYTES : std::min(2 * last, LARGE_BLOCK_UNIT)));
    }
    char* place = aligned();
    next_ = place + bytes;
    return place;
}

void EditArena::release(void* place, size_t bytes) {
    if (bytes < OWN_BLOCK_FROM)
        return;
    auto own = std::find_if(ownBlocks_.begin(), ownBlocks_.end(),
                            [&](const Block& block) { return block.start == place; });
    if (own != ownBlocks_.end()) {
        releaseLargeBlock(own->start, own->bytes);
        *own = ownBlocks_.back();
        ownBlocks_.pop_back();
    }
}

void* allocateLarge(size_t bytes) {
    if (bytes < OWN_BLOCK_FROM)
        return ::operator new(bytes);
    void* block = allocateLargeBlock(roundUp(bytes, LARGE_BLOCK_UNIT));
    if (block == nullptr)
        throw std::bad_alloc();
    return block;
}

void releaseLarge(void* place, size_t bytes) noexcept {
    if (bytes < OWN_BLOCK_FROM)
        ::operator delete(place);
    else
        releaseLargeBlock(place, roundUp(bytes, LARGE_BLOCK_UNIT));
}
