// F5, F8 and Ctrl-Z: changing the archive from the panels. Each change is
// one step of the archive's journal (archive/change.h), made whole or not at
// all; row 24 then says what was done or why nothing was, and the panels show
// the archive as it is afterwards, the user kept where they were.
#pragma once

#include "console/keyboard.h"

// The keys the changes use; the panels' key table leaves them free.
constexpr KeyCode KEY_PUT_BACK = extendedKey(0x3F, false, false);      // F5
constexpr KeyCode KEY_DELETE_ENTRY = extendedKey(0x42, false, false);  // F8
constexpr KeyCode KEY_UNDO = 0x1A;                                     // Ctrl-Z

// F5: gives the selected files of the shown directory (or else the file
// under the cursor) the bytes of the files F2 rips them to, below the
// current directory, as one change. A file that is not there or cannot be
// read changes nothing.
void putBackEntries();

// F8: after the confirmation box, deletes the selected files of the shown
// directory, or else the entry under the cursor (a directory with everything
// below it), as one change.
void deleteEntries();

// Ctrl-Z: takes back the archive's last change (one F5 or F8, or one change
// made on the command line).
void undoLastChange();
