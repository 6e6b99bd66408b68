// Tables of every size the editor keeps in its arena, from a few bytes to
// tables with blocks of their own that grow and give them back, must never
// share a byte.
#include "archive/edit_arena.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(EditArena, TablesOfEverySizeKeepTheirBytesApart) {
    EditArena arena;
    std::vector<ArenaVector<uint32_t>> tables;
    for (size_t i = 0; i < 40; ++i) tables.emplace_back(ArenaAllocator<uint32_t>(&arena));
    // Grown side by side, so that their growth interleaves: the largest pass
    // 1 MiB (a block of their own) and move more than once.
    for (uint32_t step = 0; step < 400000; ++step) {
        for (size_t i = 0; i < tables.size(); ++i) {
            if (step < (i + 1) * (i + 1) * 250)
                tables[i].push_back(static_cast<uint32_t>(i << 24 | step));
        }
    }
    for (size_t i = 0; i < tables.size(); ++i) {
        EXPECT_EQ(reinterpret_cast<uintptr_t>(tables[i].data()) % alignof(uint32_t), 0u);
        for (uint32_t step = 0; step < tables[i].size(); ++step)
            ASSERT_EQ(tables[i][step], static_cast<uint32_t>(i << 24 | step)) << i;
    }
    // A table of odd size does not leave the next one misaligned.
    ArenaVector<char> odd(3, 'x', ArenaAllocator<char>(&arena));
    ArenaVector<uint64_t> wide(5, 1, ArenaAllocator<uint64_t>(&arena));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(wide.data()) % alignof(uint64_t), 0u);
    // A large table on its own, outside any arena.
    LargeVector<uint64_t> large(3 * 1024 * 1024 / sizeof(uint64_t), 7);
    EXPECT_EQ(large.back(), 7u);
}

}  // namespace
