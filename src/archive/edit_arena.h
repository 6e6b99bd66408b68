// Memory for the editor's working tables. Working out a change to an archive
// of millions of entries builds tables of that many records, used once and
// thrown away: they come from large blocks (huge pages where the system
// offers them, so that filling them does not cost a page fault per 4 KB) and
// go back all at once.
#pragma once

#include <cstddef>
#include <memory>
#include <type_traits>
#include <vector>

// Hands out memory from blocks it owns; everything goes back when it goes.
class EditArena {
  public:
    EditArena() = default;
    ~EditArena();
    EditArena(const EditArena&) = delete;
    EditArena& operator=(const EditArena&) = delete;

    // Returns room for `bytes` aligned to `alignment` (at most 16); throws
    // std::bad_alloc when there is no memory.
    void* allocate(size_t bytes, size_t alignment);

    // Takes back room that allocate returned: a table with a block of its own
    // gives that block back at once, the rest waits for the arena's end.
    void release(void* place, size_t bytes);

  private:
    struct Block {
        void* start;
        size_t bytes;
        bool large;  // from allocateLargeBlock, else from the heap
    };
    void addBlock(size_t bytes);

    std::vector<Block> blocks_;
    std::vector<Block> ownBlocks_;  // large tables' own blocks, each from allocateLargeBlock
    char* next_ = nullptr;
    char* end_ = nullptr;
};

// A standard allocator over an EditArena; without one it uses the heap.
template <typename T>
class ArenaAllocator {
  public:
    using value_type = T;
    using propagate_on_container_move_assignment = std::true_type;
    using propagate_on_container_swap = std::true_type;

    explicit ArenaAllocator(EditArena* arena = nullptr) noexcept : arena_(arena) {}
    template <typename U>
    ArenaAllocator(const ArenaAllocator<U>& other) noexcept : arena_(other.arena()) {}

    T* allocate(size_t count) {
        if (arena_ == nullptr)
            return std::allocator<T>().allocate(count);
        return static_cast<T*>(arena_->allocate(count * sizeof(T), alignof(T)));
    }
    void deallocate(T* place, size_t count) noexcept {
        if (arena_ == nullptr)
            std::allocator<T>().deallocate(place, count);
        else
            arena_->release(place, count * sizeof(T));
    }
    EditArena* arena() const { return arena_; }
    friend bool operator==(const ArenaAllocator& a, const ArenaAllocator& b) {
        return a.arena_ == b.arena_;
    }

  private:
    EditArena* arena_;
};

template <typename T>
using ArenaVector = std::vector<T, ArenaAllocator<T>>;

// Room for `bytes` from large blocks when they are many (given back with
// releaseLarge), else from the heap; throws std::bad_alloc when there is no memory.
void* allocateLarge(size_t bytes);
// Gives back room of `bytes` that allocateLarge returned.
void releaseLarge(void* place, size_t bytes) noexcept;

// A standard allocator for one big table that is not part of an arena.
template <typename T>
struct LargeAllocator {
    using value_type = T;
    LargeAllocator() = default;
    template <typename U>
    LargeAllocator(const LargeAllocator<U>&) noexcept {}
    T* allocate(size_t count) { return static_cast<T*>(allocateLarge(count * sizeof(T))); }
    void deallocate(T* place, size_t count) noexcept { releaseLarge(place, count * sizeof(T)); }
    friend bool operator==(const LargeAllocator&, const LargeAllocator&) { return true; }
};

template <typename T>
using LargeVector = std::vector<T, LargeAllocator<T>>;
