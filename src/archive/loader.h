// Reading a DIR archive's listings into the Entry tree.
#pragma once

#include <cstdint>

class ArchiveFile;
class Entry;

// The most file and directory records one load reads, kept or dropped. Listings
// that many directory records share can multiply an archive's entries without
// end; this stops such a load while honest archives of millions of entries load
// whole (each record costs roughly 150 bytes of memory).
constexpr uint32_t LOAD_ENTRY_CAP = 16u * 1024u * 1024u;

// Loads the archive at `path` (opened read-only, exactly as given) into the
// tree under `root`. Returns 1 when the file could be opened, whatever it held,
// 0 when it could not. Loading stops early, keeping what was read, when the
// entry cap is reached (see loadCapReached).
int loadArchive(const char* path, Entry* root);

// As loadArchive, with `recordCap` in place of LOAD_ENTRY_CAP (tests and fuzzing
// use small caps). Returns 1 when the file could be opened, 0 when it could not
// (also when `path` names anything but a regular file).
int loadArchiveLimited(const char* path, Entry* root, uint32_t recordCap);

// Loads the listings of the open archive `file` into the tree under `root`,
// stopping after `recordCap` records. Returns true when it stopped at the cap.
bool loadArchiveFrom(const ArchiveFile& file, Entry* root, uint32_t recordCap);

// True when the last loadArchive stopped at the cap on the number of entries.
bool loadCapReached();
