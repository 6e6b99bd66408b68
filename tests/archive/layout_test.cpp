// The byte-use counts the editor decides placements by, against a plain count
// per byte: ranges given in any order, touching, overlapping and nested.
#include "archive/layout.h"

#include <gtest/gtest.h>

#include <random>

namespace {

TEST(UsedRanges, AnswerAsACountPerByteWould) {
    std::mt19937 random(5);
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        constexpr uint64_t SPAN = 64;
        std::vector<int> count(SPAN, 0);
        UsedRanges used;
        // Mostly ranges that follow each other (as an archive's data does),
        // some anywhere, some empty.
        uint64_t next = random() % 8;
        for (int n = static_cast<int>(random() % 12); n > 0; --n) {
            const uint64_t start = random() % 3 == 0 ? random() % SPAN : next;
            const uint64_t end = std::min<uint64_t>(SPAN, start + random() % 9);
            used.add(start, end);
            for (uint64_t b = start; b < end; ++b) ++count[b];
            next = end;
        }
        used.finish();
        uint64_t usedEnd = 0;
        for (uint64_t b = 0; b < SPAN; ++b) usedEnd = count[b] != 0 ? b + 1 : usedEnd;
        EXPECT_EQ(used.usedEnd(), usedEnd);
        for (uint64_t start = 0; start < SPAN; ++start) {
            for (uint64_t end = start; end <= SPAN; ++end) {
                bool once = start < end, none = true;
                for (uint64_t b = start; b < end; ++b) {
                    once = once && count[b] == 1;
                    none = none && count[b] == 0;
                }
                ASSERT_EQ(used.usedOnce(start, end), once) << start << ".." << end;
                ASSERT_EQ(used.unused(start, end), none) << start << ".." << end;
            }
        }
        std::vector<ByteRange> gaps;
        for (uint64_t b = 0; b < SPAN - 8; ++b) {
            if (count[b] != 0)
                continue;
            if (!gaps.empty() && gaps.back().end == b)
                ++gaps.back().end;
            else
                gaps.push_back({b, b + 1});
        }
        const std::vector<ByteRange> found = used.gapsBelow(SPAN - 8);
        ASSERT_EQ(found.size(), gaps.size());
        for (size_t i = 0; i < gaps.size(); ++i) {
            EXPECT_EQ(found[i].start, gaps[i].start);
            EXPECT_EQ(found[i].end, gaps[i].end);
        }
    }
}

}  // namespace
