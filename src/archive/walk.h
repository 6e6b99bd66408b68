// Walking a loaded tree depth first, without recursion, and the paths of its
// entries. Every walk over the tree (listings, extraction, checks, teardown)
// goes through TreeWalk, so that trees nested to any depth cost no call stack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/entry.h"

// What a walk step met.
enum WalkStep : int32_t {
    WALK_ENTER = 1,  // a directory, before its children
    WALK_LEAVE = 2,  // the same directory, after its children
    WALK_FILE = 3,   // anything else (a file, or an entry of an unknown kind)
};

// What a walk does besides visiting entries; flags, combined with '|'.
enum WalkFlags : int32_t {
    WALK_WITHOUT_PATHS = 0,
    WALK_WITH_PATHS = 1,   // keep the archive path of each entry at hand
    WALK_EVERY_ENTRY = 2,  // visit "..." entries and whatever a hostile archive put below
                           // them or below a file, too
};

// A depth-first walk over `top` and everything below it, in the children's
// order: WALK_ENTER for `top`, then for each child either WALK_FILE or a whole
// nested ENTER ... LEAVE, then WALK_LEAVE for `top`. A directory is an entry of
// kind KIND_ROOT or KIND_SUBDIR; a file that holds children (a directory record
// of its name led the loader into it) is visited as a file and what it holds is
// not walked. With WALK_EVERY_ENTRY the walk also visits "..." entries and
// enters every entry holding children (a directory record named "..." leads the
// loader into the "..." entry itself), so that teardown and checks reach
// everything. Between steps the walk reads only the children lists of the
// directories still open, so the children of a directory may be destroyed at
// its WALK_LEAVE.
class TreeWalk {
  public:
    explicit TreeWalk(const Entry* top, int32_t flags = WALK_WITH_PATHS);

    // Moves to the next step. Returns true when there is one, false when the
    // walk is over.
    bool next();

    WalkStep step() const { return step_; }
    const Entry* entry() const { return entry_; }
    // The entry's path inside the archive as archivePathOf gives it (empty for
    // the root); empty throughout when the walk keeps no paths.
    const std::string& path() const { return path_; }
    // How many directories enclose the entry within the walk (0 for `top`).
    size_t depth() const { return step_ == WALK_ENTER ? frames_.size() - 1 : frames_.size(); }

    // Right after WALK_ENTER: passes over the directory's children, so that
    // its WALK_LEAVE comes next.
    void skipChildren();

  private:
    struct Frame {
        const Entry* directory;
        size_t next;        // index of the next child to visit
        size_t pathLength;  // length of the directory's own path in path_
    };

    const Entry* top_;
    bool withPaths_;
    bool everyEntry_;
    bool started_ = false;
    WalkStep step_ = WALK_LEAVE;
    const Entry* entry_ = nullptr;
    std::string path_;
    std::vector<Frame> frames_;
};

// Calls `visit(entry, path)` for every entry below `root` except "..." entries,
// depth first: a directory, then everything inside it, then its next sibling.
// A directory is entered only when `visit` returns true for it.
void walkTree(const Entry* root,
              const std::function<bool(const Entry*, const std::string&)>& visit);

// Appends `name` to `path` as one more level: `separator` first unless the path
// is empty, and every '\' of the name (a stored '/') as `separator`.
void appendPathLevel(std::string* path, const std::string& name, char separator);

// The path of `entry` inside the archive: the names from below the root down
// to the entry, '/' between them and for the '\' the loader made of a stored
// '/', in code page 437 as stored. Empty for the root. With '\' as
// `separator`, the path as the screen shows it.
std::string archivePathOf(const Entry* entry, char separator = '/');
