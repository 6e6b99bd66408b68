// Which bytes of an archive are in use, and where a change may put new bytes.
// Every listing as the loader reads it and every file record's data count as
// used; a byte used more than once (a listing read twice, data two records
// share, overlaps) is never written in place. Everything else below the end
// of the file is free, and so is everything past the last used byte.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "archive/edit_arena.h"

// The bytes [start, end) of an archive.
struct ByteRange {
    uint64_t start = 0;
    uint64_t end = 0;
};

// How many times each byte is used, collected once and then only queried.
class UsedRanges {
  public:
    // Makes room for `count` more uses before they are added.
    void reserve(size_t count) { added_.reserve(added_.size() + count); }

    // Counts one more use of [start, end); an empty range counts nothing. Only
    // before finish().
    void add(uint64_t start, uint64_t end);

    // Settles the uses added so far; queries answer only after it.
    void finish();

    // True when [start, end) is not empty and every byte of it is used exactly once.
    bool usedOnce(uint64_t start, uint64_t end) const;

    // True when no byte of [start, end) is used.
    bool unused(uint64_t start, uint64_t end) const;

    // The runs of unused bytes below `limit`, in order.
    std::vector<ByteRange> gapsBelow(uint64_t limit) const;

    // Just past the last used byte; 0 when nothing is used.
    uint64_t usedEnd() const { return segments_.empty() ? 0 : segments_.back().end; }

  private:
    struct Segment {
        uint64_t start;
        uint64_t end;
        uint32_t count;
    };
    // The first segment ending after `position`.
    LargeVector<Segment>::const_iterator segmentAfter(uint64_t position) const;

    LargeVector<ByteRange> added_;
    // Disjoint, in order, each used at least once; neighbours of equal count merged.
    LargeVector<Segment> segments_;
};

// The free space one change may take: the gaps of the layout and everything
// from the tail on. Space handed out is never handed out again unless given
// back, so a change never reuses the bytes of what it frees itself.
class SpaceAllocator {
  public:
    // Starts with the free `gaps` (disjoint, below `tail`) and the tail: the
    // first byte past the file and past every used byte.
    SpaceAllocator(const std::vector<ByteRange>& gaps, uint64_t tail);

    // Takes `length` bytes (at least 1): from the smallest gap that holds them,
    // else at the tail, there on a 4096-byte boundary when `alignLarge` and the
    // length is 64 KiB or more. Returns 1 with the place in `*place`, or 0 when
    // the bytes would reach past the largest archive (nothing taken).
    int allocate(uint64_t length, bool alignLarge, uint64_t* place);

    // True when every byte of [start, end) is free.
    bool isFree(uint64_t start, uint64_t end) const;

    // Takes [start, end): its free bytes are free no more, used ones stay as they are.
    void claim(uint64_t start, uint64_t end);

    // Gives back [start, end), which allocate or claim handed out before.
    void release(uint64_t start, uint64_t end);

    uint64_t tail() const { return tail_; }

  private:
    void addGap(uint64_t start, uint64_t end);
    void removeGap(std::map<uint64_t, uint64_t>::iterator gap);

    std::map<uint64_t, uint64_t> byStart_;            // start -> end
    std::set<std::pair<uint64_t, uint64_t>> bySize_;  // (length, start)
    uint64_t tail_;
};
