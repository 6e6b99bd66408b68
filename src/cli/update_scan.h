// What --update finds in a directory: each file under it matched to the
// entry that --extract writes to that very path (the same output names,
// numbered ones included), its bytes compared with the entry's data, and the
// files no entry has, named as the archive would name them. The directory is
// only read, never written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/editor.h"
#include "archive/entry.h"
#include "platform/archive_file.h"
#include "platform/byte_store.h"

// What --update does with one thing under the directory.
enum UpdateAction : int32_t {
    UPDATE_REPLACE = 0,  // a file whose bytes differ from its entry's: they replace the entry's
    UPDATE_ADD = 1,      // a file that no entry has: added (asked for with --add-new)
    UPDATE_SAME = 2,     // a file whose bytes equal its entry's: left alone
    UPDATE_SKIP = 3,     // something that is not taken, for the reason in `why`
};

// One thing under the directory and what becomes of it.
struct UpdateItem {
    UpdateAction action = UPDATE_SKIP;
    std::string diskPath;     // below the directory, '/' between names (host text)
    std::string archivePath;  // the entry's path, code page 437, '/' between names
    std::string why;          // UPDATE_SKIP: why it is not taken (UTF-8)
};

// A file under the directory that is left alone because of what it is
// (the archive itself, its journal).
struct UpdateOwnFile {
    FileIdentity identity;
    std::string why;  // UTF-8
};

// What the directory holds for the archive.
struct UpdateScan {
    // Everything met, in walk order: names in byte order, a directory's
    // contents right after it.
    std::vector<UpdateItem> items;
    // Why the update cannot be made whole, one line each (UTF-8); none when it can.
    std::vector<std::string> problems;
    // Added names that --extract will write under another name, one line each (UTF-8).
    std::vector<std::string> notes;
    // The changes to make: one per UPDATE_REPLACE and UPDATE_ADD item, in their order.
    std::vector<EditRequest> requests;
    // Files that --extract writes for the archive and that the directory lacks.
    uint64_t absent = 0;
};

// Scans the directory `directory` (host text) against the tree under `root`,
// loaded from `archive`, whose data it compares with the files' bytes:
// lengths first, then the bytes in blocks. Files of `ownFiles` are skipped.
// With `addNew`, files that no entry has become additions; otherwise they
// are skipped. Returns 1 with `*scan` filled (its problems say whether the
// update can be made); 0 when `directory` is not a directory that can be
// read, with one line in `*why`.
int scanUpdateDirectory(const Entry* root, const ByteSource& archive, const std::string& directory,
                        const std::vector<UpdateOwnFile>& ownFiles, bool addNew, UpdateScan* scan,
                        std::string* why);
