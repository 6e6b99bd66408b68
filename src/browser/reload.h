// The loaded tree against the archive on disk: noticing that the archive
// changed since it was loaded, and loading it again with the user kept where
// they were.
#pragma once

#include <cstdint>
#include <string>

// What stands at browser.openPath now, against the file the tree was loaded from.
enum ArchiveOnDisk : int32_t {
    ARCHIVE_UNCHANGED = 0,   // the same file, with the same length and modification time
    ARCHIVE_CHANGED = 1,     // the same file, changed since: the tree may not match its bytes
    ARCHIVE_REPLACED = 2,    // another file put in its place (the open file still reads)
    ARCHIVE_UNREADABLE = 3,  // nothing that can be opened (the open file still reads)
};

// Looks at the file at browser.openPath afresh and tells how it stands.
ArchiveOnDisk archiveOnDisk();

// Opens and loads the archive at browser.openPath afresh and shows it in
// place of the loaded tree: the same directory by its path and the cursor on
// the same name or its neighbour (browser/view_place.h), the files keeping
// their ripped and selected marks where their paths are still there. Returns
// 1 when shown, with what opening settled first (another program's
// unfinished change rolled back) in `*note`, else empty; 0 when the archive
// cannot be loaded now, with why in `*why`, the old tree then still shown.
// Both texts are code page 437, for row 24.
int reloadArchive(std::string* note, std::string* why);
