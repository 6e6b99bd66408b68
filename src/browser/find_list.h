// The list of entries found by name, without the screen: its rows' texts,
// moving its cursor, and placing the panels on a chosen entry.
#pragma once

#include <string>
#include <vector>

#include "browser/state.h"

class Entry;

// Rows and columns of the found list inside its window.
constexpr int FIND_LIST_ROWS = 18;
constexpr int FIND_PATH_CELLS = 72;

// The cursor over the found entries and the first one shown.
struct FindListState {
    int count = 0;
    int cursor = 0;
    int top = 0;
};

// Moves the cursor by `step` entries (negative: up), stopping at the first and
// last, and scrolls so that it stays among the `rows` shown.
void moveFindCursor(FindListState& list, int step, int rows);

// The found entry's path below the root ('\' between names, a directory with a
// '\' at its end), in `cells` cells: cut at the front to "..." and its end when
// longer, padded with blanks when shorter.
std::string foundPathCells(const Entry* entry, int cells);

// The title of the found list: "N found for MASK" (one entry: "1 found ...");
// a '~' of the mask shows as '?', since '~' switches colours in titles.
std::string foundTitle(size_t count, const std::string& mask);

// Shows `entry` in the panels: its directory becomes the shown one with the
// cursor on it, the window placed as going back into that directory would
// place it (top = cursor - 39 when the entry lies past the 40th place, else 0),
// and each directory above remembers the way down, so that "..." leads back
// along it. Returns 1 when done, 0 when the entry has no place in the tree.
int showEntryInPanels(PanelState& panel, const Entry* entry);
