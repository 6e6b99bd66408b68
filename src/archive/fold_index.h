// A hash index over one directory's children by case-folded name, so that the
// loader finds a duplicate in constant time instead of scanning every child.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/entry.h"
#include "text/ascii_fold.h"

class FoldIndex {
  public:
    // Hash of the name with a..z taken as A..Z; equal for names that
    // sameNameIgnoringCase holds equal.
    static uint32_t hashName(const std::string& name) {
        uint64_t h = 0xcbf29ce484222325ull;
        for (char c : name) {
            h = (h ^ foldAscii(static_cast<unsigned char>(c))) * 0x100000001b3ull;
        }
        h ^= h >> 33;
        h *= 0xff51afd7ed558ccdull;
        h ^= h >> 33;
        return static_cast<uint32_t>(h);
    }

    FoldIndex() = default;

    // Indexes every child of `directory` as it stands.
    explicit FoldIndex(const Entry* directory) {
        for (size_t i = 0; i < directory->children.size(); ++i) {
            insert(hashName(directory->children[i]->name), static_cast<uint32_t>(i));
        }
    }

    // Returns the index of the child whose name equals `name` ignoring case,
    // or -1; `hash` is hashName(name).
    int64_t find(uint32_t hash, const std::string& name,
                 const std::vector<Entry*>& children) const {
        if (slots_.empty())
            return -1;
        const size_t mask = slots_.size() - 1;
        for (size_t i = hash & mask; slots_[i] != 0; i = (i + 1) & mask) {
            if (static_cast<uint32_t>(slots_[i] >> 32) != hash)
                continue;
            const uint32_t index = static_cast<uint32_t>(slots_[i]) - 1;
            if (sameNameIgnoringCase(children[index]->name, name))
                return index;
        }
        return -1;
    }

    // Records that children[index] has the name hashing to `hash`.
    void insert(uint32_t hash, uint32_t index) {
        if ((used_ + 1) * 2 > slots_.size())
            grow();
        place(slots_, (uint64_t{hash} << 32) | (uint64_t{index} + 1));
        ++used_;
    }

  private:
    static void place(std::vector<uint64_t>& slots, uint64_t value) {
        const size_t mask = slots.size() - 1;
        size_t i = static_cast<uint32_t>(value >> 32) & mask;
        while (slots[i] != 0) i = (i + 1) & mask;
        slots[i] = value;
    }

    void grow() {
        std::vector<uint64_t> bigger(slots_.empty() ? 16 : slots_.size() * 2, 0);
        for (uint64_t value : slots_) {
            if (value != 0)
                place(bigger, value);
        }
        slots_.swap(bigger);
    }

    // Each slot holds the name's hash above the child's index + 1; 0 is empty.
    std::vector<uint64_t> slots_;
    size_t used_ = 0;
};
