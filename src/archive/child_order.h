// Putting a whole directory's children in order at once, for the loader: the
// same order and the same duplicate rule as addChild gives one at a time, in
// O(n log n) at worst and in linear time for listings already in order.
#pragma once

#include <vector>

class Entry;

// Sorts `children` (whose names are distinct) into the order of children:
// kind first, then byte order of the names.
void sortChildren(std::vector<Entry*>& children);

// What dropDuplicatesAndSort does with a dropped child: `dropped` is the child
// given up, `kept` the earlier child of the same name ignoring case.
using DiscardChild = void (*)(Entry* dropped, const Entry* kept, void* context);

// Keeps, of children whose names are equal ignoring case, only the one that
// comes first in `children`, hands every other to `discard` (with `context`),
// and sorts the rest as sortChildren does.
void dropDuplicatesAndSort(std::vector<Entry*>& children, DiscardChild discard, void* context);
