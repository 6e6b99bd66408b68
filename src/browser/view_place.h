// Where the user stands in the panels, held by names instead of pointers, and
// the marks the files carry: what survives loading the tree again after the
// archive changed on disk.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "browser/state.h"

class Entry;

// The shown directory and the cursor, by names.
struct ViewPlace {
    // The names from the root's child down to the shown directory; empty for the root.
    std::vector<std::string> directory;
    std::string cursorName;   // the child under the cursor ("..." included); empty when none
    int32_t cursorKind = 0;   // its kind (EntryKind)
    int32_t cursorPlace = 0;  // cursor - top: where in the two panels' window it stands
};

// The place `panel` shows (its directory must lie in a tree, the root at its top).
ViewPlace placeOf(const PanelState& panel);

// Puts `panel` on `place` in the tree below `root`: the same directory, or
// else the nearest one above it that is still there, with the cursor on the
// directory that led towards the lost one. The cursor goes to the child of
// the same name and kind, or else to the one that would follow it in the
// listing (the last child when none would), and stands at the same place in
// the window where the listing allows. Each directory above the shown one
// remembers the way down, so that "..." leads back along it. Returns 1 when
// the same directory is shown, 0 when one above it stands in.
int restorePlace(PanelState& panel, Entry* root, const ViewPlace& place);

// The ripped and selected marks of the files below a root, by their paths.
struct FileMarks {
    // Key: the names from the root's child down to the file, each followed by
    // a NUL (no stored name holds one); value: MARK_RIPPED | MARK_SELECTED.
    std::unordered_map<std::string, uint8_t> byPath;
};
constexpr uint8_t MARK_RIPPED = 1;
constexpr uint8_t MARK_SELECTED = 2;

// The marks of every marked file below `root`.
FileMarks marksOf(const Entry* root);

// Gives every file below `root` the marks that `marks` holds for its path;
// files without an entry there get none. Returns the number of files marked.
size_t applyMarks(Entry* root, const FileMarks& marks);
