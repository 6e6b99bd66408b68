// The editor's safety net: before a plan is handed on, the archive as it
// would be afterwards is loaded with the real loader and compared with the
// archive as it is, changed only by what the plan says it changes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/edit_plan.h"
#include "archive/editor.h"
#include "archive/planned_archive.h"
#include "platform/byte_store.h"

// What one request did to the tree, in exact names.
enum ExpectedChangeKind : int32_t {
    EXPECT_NEW_DATA = 0,  // a file gets new data (`size` bytes from `request`)
    EXPECT_ADD_FILE = 1,  // a new file with `size` bytes from `request`
    EXPECT_MAKE_DIR = 2,  // a new, empty directory
    EXPECT_DELETE = 3,    // the entry and everything below it go
    EXPECT_RENAME = 4,    // the entry is called `newName`
    // The listing of the directory is changed where it lies though none of
    // its entries changes: a record the loader drops there is repointed.
    EXPECT_LISTING = 5,
};

struct ExpectedChange {
    ExpectedChangeKind kind = EXPECT_NEW_DATA;
    std::vector<std::string> names;  // from below the root down to the entry, exactly as stored
    std::string newName;
    uint64_t size = 0;
    const EditRequest* request = nullptr;
};

// Checks `plan` against `archive` and the changes `expected` it was made for:
// the plan's own guarantees (data writes before patches, none touching what a
// move reads, none past 4 GiB); the tree loaded after it equals the tree
// before with exactly those changes, every other entry keeping kind, size and
// offset (moved listings and moved data excepted, and then checked equal);
// and no write touching a listing or data that stays. Returns 1, or 0 with
// one line in `*why`.
int verifyEditPlan(const ByteSource& archive, const EditPlan& plan,
                   const std::vector<ExpectedChange>& expected, std::string* why);
