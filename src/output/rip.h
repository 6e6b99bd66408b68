// Ripping: copying the selected files (or the file under the cursor) to disk.
#pragma once

#include <cstdint>

// The F2 action on browser.panel; sets browser.terminationReason on failure.
void ripEntries();
// Creates `path` and any missing parents ('\' or '/' separated). 0 when it exists afterwards.
int makeDirectories(const char* path);
