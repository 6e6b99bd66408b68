// `--verify`: checks every listing and record of an archive and reports what it finds.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

struct VerifyFinding {
    std::string path;  // the entry's path inside the archive (code page 437, '/' between names)
    std::string text;  // what is wrong, in words, ready to print (UTF-8, no control bytes)
};

struct VerifyReport {
    std::vector<VerifyFinding> findings;
    uint64_t files = 0;
    uint64_t directories = 0;
    uint64_t listings = 0;
    uint64_t archiveSize = 0;
};

// Walks the archive's bytes as the loader does, each listing at most once, and
// reports: file data or listings outside the archive, listings cut short,
// cycles, listings shared by several directories, names dropped as duplicates,
// names that extraction would change, and file data overlapping a listing.
VerifyReport verifyArchiveBytes(const uint8_t* bytes, uint64_t size);

// Reads the archive at `path` and prints each finding, then a summary, on
// `out`. Returns 0 when nothing was found, 1 when something was or the file
// cannot be read (message on `err`).
int verifyMode(const std::string& path, std::ostream& out, std::ostream& err);
