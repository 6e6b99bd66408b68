// `--verify`: loads an archive with an observer and reports everything the
// loader mends or drops, and what extraction would change or lose.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "archive/session.h"

struct VerifyFinding {
    std::string path;  // the entry's path inside the archive (code page 437, '/' between names)
    std::string text;  // what is wrong, in words, ready to print (UTF-8, no control bytes)
};

struct VerifyReport {
    SessionStatus status = SESSION_OPEN_FAILED;
    std::string openError;     // the system's words when the file could not be opened
    std::string recoveryNote;  // what opening settled first (ArchiveSession::recoveryNote)
    std::vector<VerifyFinding> findings;
    uint64_t files = 0;        // file records, each listing counted once
    uint64_t directories = 0;  // directory records, each listing counted once
    uint64_t listings = 0;     // distinct listings read
    uint64_t archiveSize = 0;
};

// Opens and loads the archive at `path` and reports, in the order met: file
// data or listings outside the archive, listings cut short, cycles, listings
// shared by several directories, names dropped as duplicates, empty names,
// names that extraction would change; then files that directory records of
// their names put entries below (with how many), file data overlapping a
// listing, and entries that extraction would write to a path another entry
// takes. The report's status says whether the file could be opened and loaded whole.
VerifyReport verifyArchive(const std::string& path);

// Verifies the archive at `path` and prints each finding, then a summary, on
// `out`. Returns 0 when nothing was found, 1 when something was; 1 as well,
// with one line on `err` and nothing on `out`, when the file cannot be opened
// or is no archive (its first listing holds no entry).
int verifyMode(const std::string& path, std::ostream& out, std::ostream& err);
