// Laying out a tree of directories and files as a DIR archive.
//
// The layout is deterministic: the root listing at offset 0, then every other
// listing in depth-first order (a directory's listing before those of its
// sub-directories, siblings in the order given), then the files' data in the
// order their records appear, each file of 64 KiB or more starting on a
// 4096-byte boundary (zero padding before it) unless the padding would take
// the archive past ARCHIVE_SIZE_LIMIT, in which case no file is padded.
// Records are written in the order the tree gives them; nothing is sorted.
// Directory records carry `directorySize` as their size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum ArchiveNodeKind {
    NODE_FILE,
    NODE_DIRECTORY,
};

// One file or directory to be written. A file's data comes from `data`, or,
// when `sourcePath` is set, from that file on disk (read in blocks when the
// archive is written, so its size does not matter).
struct ArchiveNode {
    ArchiveNodeKind kind = NODE_FILE;
    std::string name;  // stored as given, 1 to 32 bytes; '/' allowed
    std::string data;
    std::string sourcePath;
    std::vector<ArchiveNode> children;  // a directory's entries, in record order
    uint32_t directorySize = 0;
};

// A file node whose data is `data`.
ArchiveNode archiveFile(std::string name, std::string data);

// A file node whose data is read from `sourcePath` while writing.
ArchiveNode archiveFileFromDisk(std::string name, std::string sourcePath);

// A directory node holding `children` in that order.
ArchiveNode archiveDirectory(std::string name, std::vector<ArchiveNode> children = {});

struct ArchiveWriteOptions {
    // Write names that equal a sibling's ignoring letter case (the loader
    // keeps only the first); tests use it to make such archives on purpose.
    bool allowCaseDuplicates = false;
};

// The largest archive the 32-bit offsets and sizes can describe.
constexpr uint64_t ARCHIVE_SIZE_LIMIT = 0xFFFFFFFFull;

// Files of ALIGN_FILES_FROM bytes or more start on a FILE_ALIGNMENT boundary,
// here and where a change puts new data at the end: copying them out can
// then share the page cache's pages instead of shifting every byte, which
// makes extraction about twice as fast, for at most a page of padding each.
constexpr uint64_t ALIGN_FILES_FROM = 64 * 1024;
constexpr uint64_t FILE_ALIGNMENT = 4096;

// Checks `root` as the writers below do before they write a byte: names that
// are empty, longer than 32 bytes or hold a NUL, siblings whose names are equal
// ignoring case, sources that cannot be read or are not regular files, files
// and archives over ARCHIVE_SIZE_LIMIT bytes. Returns 1 when the tree can be
// written, with the archive's size in `*size` (when not null); 0 otherwise,
// with every problem found appended to `*problems`, one sentence each.
int checkArchiveTree(const ArchiveNode& root, std::vector<std::string>* problems,
                     uint64_t* size = nullptr, const ArchiveWriteOptions& options = {});

// Writes the archive whose root listing holds `root.children` (the root's own
// name is not stored) to `path`, through a temporary file in the same
// directory that is renamed into place only when complete. Returns 1 when
// written, 0 when refused or failed, with the reason in `error` (which may be
// null; every problem checkArchiveTree finds, joined by "; ") and nothing left
// at `path` or beside it. Refuses what checkArchiveTree refuses and sources
// that change while read.
int writeArchiveFile(const ArchiveNode& root, const std::string& path, std::string* error,
                     const ArchiveWriteOptions& options = {});

// As writeArchiveFile, into `bytes` (replacing its contents). Returns 1 when
// written, 0 when refused (then `bytes` is left empty).
int writeArchiveBytes(const ArchiveNode& root, std::vector<uint8_t>* bytes, std::string* error,
                      const ArchiveWriteOptions& options = {});
