// Reading a DIR archive's listings into the Entry tree. Front ends open
// archives through ArchiveSession (archive/session.h), which calls this.
#pragma once

#include <cstdint>
#include <string>

class ByteSource;
class Entry;
class LoadObserver;

// The most file and directory records one load reads, kept or dropped. Listings
// that many directory records share can multiply an archive's entries without
// end; this stops such a load while honest archives of millions of entries load
// whole (each record costs roughly 150 bytes of memory).
constexpr uint32_t LOAD_ENTRY_CAP = 16u * 1024u * 1024u;

// Records a load may read beyond one per 44 bytes of the file. An archive whose
// listings are each read once holds at most that many records; more come only
// from listings read again because directory records share them. This lets a
// modest sharing load while a small hostile file stops within about a second
// and a couple of hundred megabytes, instead of running up to LOAD_ENTRY_CAP.
constexpr uint32_t LOAD_SHARED_ALLOWANCE = 1u << 20;

// The cap on records for a load of a file of `fileSize` bytes asked to read at
// most `recordCap`: the smaller of `recordCap` and one record per 44 bytes of
// the file plus LOAD_SHARED_ALLOWANCE.
uint32_t loadRecordCap(uint64_t fileSize, uint32_t recordCap);

// The words for a load of a file of `fileSize` bytes, asked to read at most
// `recordCap` records, that stopped at the cap: "the load stopped after N
// records, the most an archive of M bytes may hold (one per 44 bytes and
// 1048576 more, 16777216 at most)".
std::string recordCapText(uint64_t fileSize, uint32_t recordCap = LOAD_ENTRY_CAP);

// Loads the listings of the open archive `file` into the tree under `root`,
// stopping after loadRecordCap(file size, recordCap) records, and tells
// `observer` (when not null) what it reads, mends and drops. Returns true when
// it stopped at the cap.
bool loadArchiveFrom(const ByteSource& file, Entry* root, uint32_t recordCap,
                     LoadObserver* observer = nullptr);
