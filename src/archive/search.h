// Finding entries by name anywhere in a loaded tree, and choosing paths by
// wildcard patterns the way the command line does.
#pragma once

#include <string>
#include <vector>

#include "archive/entry.h"

// Every file and sub-directory below `root` (not "..." entries, not the root)
// whose own name `pattern` matches (wildMatch: letters without case), in the
// order a depth-first walk meets them: a directory before its contents,
// siblings in their sorted order. Walks with its own stack, so any depth works.
// An invalid pattern matches nothing.
std::vector<const Entry*> findByName(const Entry* root, const char* pattern);

// The entry's path below the root: the names from the root's child down to
// the entry, joined by '\'. Empty for the root itself.
std::string pathBelowRoot(const Entry* entry);

// The position of `child` among its parent's children; -1 when it has no
// parent or is not among them.
int childIndex(const Entry* child);

// True when `pattern` matches the entry's path inside the archive (`path`,
// '/' between names) or its own `name`, letters without case; an empty list
// matches everything. Patterns and names are code page 437.
bool matchesAnyPattern(const std::vector<std::string>& patterns, const std::string& path,
                       const std::string& name);

// The entry at `path` below `root`: names separated by '/' or '\', compared
// as whole names with ASCII letters without case (never as patterns); a name
// that itself holds '\' is found as well. Leading separators are ignored.
// Returns null when there is no such entry.
const Entry* findByPath(const Entry* root, const std::string& path);
