// Cursor movement over the two panels' listing. Each rule takes the panel
// state and the number of children of its directory and keeps the panel
// invariants: 0 <= top <= cursor <= top + 39, cursor <= count - 1, and a
// scrolled listing (top > 0) always fills all 40 places.
#pragma once

#include "browser/state.h"

// Places shown at once: two panels of 20 rows.
constexpr int PANEL_ROWS = 20;
constexpr int WINDOW_PLACES = 2 * PANEL_ROWS;

// One place up; scrolls by one child when the cursor is on the first place.
void moveUp(PanelState& panel, int count);
// One place down; scrolls by one child when the cursor is on the 40th place.
void moveDown(PanelState& panel, int count);
// One panel (20 children) up, or to the first child.
void pageUp(PanelState& panel, int count);
// One panel down, or to the last child with the window full.
void pageDown(PanelState& panel, int count);
// To the first child.
void moveHome(PanelState& panel, int count);
// To the last child, with it on the last place when the listing scrolls.
void moveEnd(PanelState& panel, int count);
// The same row of the other panel, when a child is there; the window never moves.
void switchPanel(PanelState& panel, int count);
// True when the cursor is in the left panel.
bool cursorInLeftPanel(const PanelState& panel);
// The child of the shown directory under the cursor; null when there is none.
Entry* childUnderCursor(const PanelState& panel);
