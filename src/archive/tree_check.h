// A consistency check of a loaded tree, for tests and fuzzing.
#pragma once

#include <string>

class Entry;

// Returns true when, below `root`, every entry's parent is the entry holding
// it, every directory's children are in the order of children and no two of
// them have names equal ignoring case; otherwise false, with the first fault
// found described in `fault` (which may be null). Works without recursion.
bool treeIsConsistent(const Entry* root, std::string* fault);
