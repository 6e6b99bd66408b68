// Reading a DIR archive's listings into the Entry tree.
#pragma once

#include <cstdint>

class Entry;

// Loads the archive at `path` (opened read-only, exactly as given) into the
// tree under `root`. Returns 1 when the file could be opened, whatever it held,
// 0 when it could not. Loading stops early, keeping what was read, when the
// entry cap is reached (see loadCapReached).
int loadArchive(const char* path, Entry* root);

// True when the last loadArchive stopped at the cap on the number of entries.
bool loadCapReached();
