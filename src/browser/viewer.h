// The viewer (F4 on a file): the entry's data full-screen, as text or hex,
// read from the archive only where it is shown.
#pragma once

#include "console/keyboard.h"

class ArchiveFile;
class Entry;

// The keys the viewer and find add; the panels' key table leaves them free.
constexpr KeyCode KEY_VIEW = KEY_F4;
constexpr KeyCode KEY_VIEW_LEAVE = KEY_F10;
constexpr KeyCode KEY_FIND_BY_NAME = KEY_ALT_F7;

// Rows of data on the viewer's screen, between its top and bottom rows.
constexpr int VIEWER_PAGE_ROWS = 23;

// Shows the file `entry`, whose data `file` holds at its offset, until Esc or
// F10 (or the end of input), then puts the screen back exactly as it was.
// Data past the end of `file` shows as missing; nothing is ever written.
void viewEntry(const ArchiveFile& file, const Entry* entry);

// F4 in the panels: views the file under the cursor through the browser's
// open archive; on any other entry nothing happens.
void viewFileUnderCursor();
