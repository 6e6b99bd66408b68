// Ripping: copying the selected files (or the file under the cursor) to disk.
//
// Files land below the current directory under their output names
// (output/output_name.h); the pieces are shared with the command-line extractor.
#pragma once

#include <cstdint>

// The F2 action on browser.panel: rips every selected file of the shown
// directory, or else the file under the cursor, from the archive at
// browser.openPath (opened read-only). On failure sets browser.terminationReason
// (and reasonSubject: the entry's name as stored, the archive path, or the
// output directory's path) and stops; files ripped before stay complete.
void ripEntries();
// Creates `path` and any missing parents ('\' or '/' separated; relative to the
// current directory, or to the root when it begins with a separator), never
// following a symbolic link on the way. 0 when it exists afterwards.
int makeDirectories(const char* path);
