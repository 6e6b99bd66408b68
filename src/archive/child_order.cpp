// Both operations sort small keys held side by side instead of chasing entry
// pointers: the first 16 name bytes (big-endian, zero-padded; names hold no
// NUL, so a prefix sorts first) settle nearly every comparison.
#include "archive/child_order.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "archive/entry.h"
#include "text/ascii_fold.h"

namespace {

struct Key {
    uint64_t high;
    uint64_t low;
    uint32_t position;  // index in the children as given
    int32_t kind;
    Entry* entry;
};

Key makeKey(Entry* entry, uint32_t position, bool folded) {
    Key key{0, 0, position, entry->kind, entry};
    const std::string& name = entry->name;
    for (size_t i = 0; i < 16; ++i) {
        uint64_t byte = i < name.size() ? static_cast<unsigned char>(name[i]) : 0;
        if (folded)
            byte = foldAscii(static_cast<unsigned char>(byte));
        (i < 8 ? key.high : key.low) |= byte << (8 * (7 - i % 8));
    }
    return key;
}

// Compares names from byte 16 on (the keys already agree before that).
__attribute__((noinline)) int compareTails(const std::string& a, const std::string& b,
                                           bool folded) {
    const size_t length = std::min(a.size(), b.size());
    for (size_t i = 16; i < length; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (folded) {
            x = foldAscii(x);
            y = foldAscii(y);
        }
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

inline int compareNames(const Key& a, const Key& b, bool folded) {
    if (a.high != b.high)
        return a.high < b.high ? -1 : 1;
    if (a.low != b.low)
        return a.low < b.low ? -1 : 1;
    return compareTails(a.entry->name, b.entry->name, folded);
}

// Sorts keys whose order is total; runs already in order or reversed cost
// one pass.
template <typename Less>
void sortKeys(std::vector<Key>& keys, Less less) {
    if (std::is_sorted(keys.begin(), keys.end(), less))
        return;
    auto greater = [&](const Key& a, const Key& b) { return less(b, a); };
    if (std::is_sorted(keys.begin(), keys.end(), greater)) {
        std::reverse(keys.begin(), keys.end());
        return;
    }
    std::sort(keys.begin(), keys.end(), less);
}

bool childLess(const Key& a, const Key& b) {
    if (a.kind != b.kind)
        return a.kind < b.kind;
    return compareNames(a, b, false) < 0;
}

void sortKeysAsChildren(std::vector<Key>& keys, std::vector<Entry*>& children) {
    sortKeys(keys, childLess);
    for (size_t i = 0; i < keys.size(); ++i) children[i] = keys[i].entry;
}

// The common case in one pass and without extra memory: no lowercase letters
// (so names equal ignoring case are equal bytes), one kind after an optional
// first entry (a "..." is appended first), and names strictly rising or
// falling. Returns false, having changed nothing, when that is not the case.
bool dropNothingSortedAlready(std::vector<Entry*>& children) {
    if (children.size() < 3)
        return false;
    for (const Entry* child : children) {
        for (char c : child->name) {
            if (foldAscii(static_cast<unsigned char>(c)) != static_cast<unsigned char>(c))
                return false;
        }
    }
    // `rest` is everything after a first entry of a lower kind, if any.
    const bool leader = children[0]->kind != children[1]->kind;
    const auto rest = children.begin() + (leader ? 1 : 0);
    const int32_t kind = (*rest)->kind;
    if (leader && children.front()->kind > kind)
        return false;
    bool rising = true;
    bool falling = true;
    for (auto it = rest + 1; it != children.end(); ++it) {
        if ((*it)->kind != kind)
            return false;
        const std::string& previous = (*(it - 1))->name;
        rising = rising && previous < (*it)->name;
        falling = falling && (*it)->name < previous;
        if (!rising && !falling)
            return false;
    }
    if (falling)
        std::reverse(rest, children.end());
    if (!leader)
        return true;
    const std::string& first = children.front()->name;
    auto same =
        std::lower_bound(rest, children.end(), first,
                         [](const Entry* e, const std::string& name) { return e->name < name; });
    if (same != children.end() && (*same)->name == first) {
        if (falling)
            std::reverse(rest, children.end());
        return false;
    }
    return true;
}

}  // namespace

void sortChildren(std::vector<Entry*>& children) {
    std::vector<Key> keys;
    keys.reserve(children.size());
    for (size_t i = 0; i < children.size(); ++i) {
        keys.push_back(makeKey(children[i], static_cast<uint32_t>(i), false));
    }
    sortKeysAsChildren(keys, children);
}

void dropDuplicatesAndSort(std::vector<Entry*>& children, DiscardChild discard, void* context) {
    if (dropNothingSortedAlready(children))
        return;
    std::vector<Key> keys;
    keys.reserve(children.size());
    bool anyLower = false;
    for (size_t i = 0; i < children.size(); ++i) {
        for (char c : children[i]->name)
            anyLower = anyLower || foldAscii(static_cast<unsigned char>(c)) != static_cast<unsigned char>(c);
        keys.push_back(makeKey(children[i], static_cast<uint32_t>(i), true));
    }
    // Names equal ignoring case end up side by side, the first given first.
    sortKeys(keys, [](const Key& a, const Key& b) {
        if (a.high != b.high)
            return a.high < b.high;
        if (a.low != b.low)
            return a.low < b.low;
        const int order = compareTails(a.entry->name, b.entry->name, true);
        return order != 0 ? order < 0 : a.position < b.position;
    });
    size_t kept = 0;
    for (size_t i = 0; i < keys.size(); ++i) {
        if (kept > 0 && compareNames(keys[kept - 1], keys[i], true) == 0) {
            discard(keys[i].entry, keys[kept - 1].entry, context);
        } else {
            keys[kept++] = keys[i];
        }
    }
    keys.resize(kept);
    children.resize(kept);
    if (anyLower) {
        // Folded order is not byte order: build byte keys afresh.
        for (Key& key : keys) key = makeKey(key.entry, key.position, false);
    }
    sortKeysAsChildren(keys, children);
}
