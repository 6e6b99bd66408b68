// Helpers for tests that need DIR archives: archives written into a temporary
// directory, raw record bytes for archives no writer would make, and a loaded
// tree that cleans up.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/entry.h"
#include "archive/record.h"
#include "archive/session.h"
#include "archive/writer.h"
#include "support/temp_dir.h"

// Writes `tree` as the archive `name` inside `dir` (names equal ignoring case
// allowed) and returns its path; a refusal fails the test with its reason.
std::string writeArchive(const TempDir& dir, const ArchiveNode& tree,
                         const std::string& name = "test.dir");

// The bytes of the archive for `tree` (names equal ignoring case allowed).
std::vector<uint8_t> archiveBytes(const ArchiveNode& tree);

// Appends one 44-byte record; `type` is the record type before the fill is
// applied (TYPE_FILE, TYPE_DIRECTORY, TYPE_END or anything else).
void appendRecord(std::vector<uint8_t>& bytes, const std::string& name, uint32_t type,
                  uint32_t size = 0, uint32_t offset = 0);

// Appends an end record.
void appendEnd(std::vector<uint8_t>& bytes);

// An archive opened and loaded through an ArchiveSession, torn down with it.
struct LoadedArchive {
    ArchiveSession session;
    Entry& root = *session.root();
    int result = 0;       // 1 when the file could be opened, whatever it held
    bool capped = false;  // the load stopped at the cap on records

    // Loads `path` (also the root's name) with the given record cap (0 means
    // the program's cap), telling `observer` (when not null) what the loader finds.
    explicit LoadedArchive(const std::string& path, uint32_t cap = 0,
                           LoadObserver* observer = nullptr);

    // The child of `directory` named exactly `name`, or null.
    static Entry* child(const Entry* directory, const std::string& name);
    // The names of a directory's children in order.
    static std::vector<std::string> names(const Entry* directory);
};
