// The check finds the writes near each entry through WriteIndex; one it
// missed would let a plan spoil an entry unseen. Asked in any order, the
// index must answer as a look at every write would.
#include "archive/planned_archive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

TEST(WriteIndex, FindsEveryWriteThatMeetsARangeAskedInAnyOrder) {
    std::mt19937 random(11);
    for (int round = 0; round < 100; ++round) {
        std::vector<EditWrite> writes(random() % 8);
        for (EditWrite& write : writes) {
            write.offset = random() % 100;
            write.length = random() % 3 == 0 ? 0 : 1 + random() % 20;
        }
        const WriteIndex index(writes);
        // Runs of rising starts (as the check asks), broken by jumps back.
        uint64_t start = 0;
        for (int ask = 0; ask < 200; ++ask) {
            start = random() % 4 == 0 ? random() % 120 : start + random() % 6;
            const uint64_t end = start + random() % 10;
            std::vector<size_t> expected;
            for (size_t i = 0; i < writes.size(); ++i) {
                const uint64_t from = std::max(start, writes[i].offset);
                if (from < std::min(end, writes[i].offset + writes[i].length))
                    expected.push_back(i);
            }
            ASSERT_EQ(index.meeting(start, end), expected)
                << "round " << round << ", " << start << ".." << end;
        }
    }
}

}  // namespace
