// Finding entries by name anywhere in a loaded tree, and choosing paths by
// wildcard patterns the way the command line does.
#pragma once

#include <cstddef>
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

// Chooses entries by wildcard patterns (code page 437) as --list and --extract
// do. An entry is chosen when a pattern matches its path inside the archive or
// its own name (letters without case), or when it lies below a directory that a
// pattern chose. Outside a [set], '/' and '\' both separate names; separators
// at the start of a pattern are ignored, and one at its end makes it match
// directories only ("SUB/", as --list shows a directory). A pattern of nothing
// but separators names the whole archive. Without patterns everything is chosen.
class PatternChoice {
  public:
    explicit PatternChoice(const std::vector<std::string>& patterns);

    // Returns true when `entry`, met at `path` ('/' between names), is chosen.
    // Entries must come in the order of a depth-first walk (TreeWalk), every
    // directory before what it holds.
    bool choose(const Entry* entry, const std::string& path);

    // Returns true when the pattern at `index` (in the order given) has matched
    // an entry so far, false when it has matched none.
    bool matched(size_t index) const { return patterns_[index].matched; }

  private:
    struct Pattern {
        std::string text;      // separators as '/', without those at either end
        bool directoriesOnly;  // the pattern ended in a separator
        bool matched;
    };
    struct Open {
        const Entry* directory;
        bool chosen;
    };
    std::vector<Pattern> patterns_;
    std::vector<Open> open_;  // the directories enclosing the last entry, innermost last
    std::string name_;        // scratch: the entry's own name with '/' for '\'
};

// The entry at `path` below `root`: names separated by '/' or '\', compared
// as whole names with ASCII letters without case (never as patterns); a name
// that itself holds '\' is found as well. Leading separators are ignored.
// Returns null when there is no such entry.
const Entry* findByPath(const Entry* root, const std::string& path);
