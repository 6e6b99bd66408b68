// Depth-first walk of a loaded tree in the children's order, without recursion.
#pragma once

#include <functional>
#include <string>

#include "archive/entry.h"

// Calls `visit(entry, path)` for every entry below `root` except "..." entries,
// depth first: a directory, then everything inside it, then its next sibling.
// `path` is the entry's path inside the archive as archivePathOf gives it.
// A directory is entered only when `visit` returns true for it.
void walkTree(const Entry* root,
              const std::function<bool(const Entry*, const std::string&)>& visit);
