// Changing an archive in place: working out, from the archive's listings, the
// writes that replace, add, delete, rename or make entries while every entry
// the change does not name keeps its bytes at its offset. Pure logic over a
// ByteSource: nothing here writes; the journal (archive/journal.h) applies
// the plan as one step.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archive/edit_plan.h"
#include "platform/byte_store.h"

enum EditOperation : int32_t {
    EDIT_REPLACE = 0,  // new data for an existing file
    EDIT_ADD = 1,      // a new file; missing directories on its path are made
    EDIT_DELETE = 2,   // a file, or a directory with everything below it
    EDIT_RENAME = 3,   // a new name within the same directory
    EDIT_MKDIR = 4,    // a new, empty directory; missing directories on its path are made
};

// One change asked for.
struct EditRequest {
    EditOperation operation = EDIT_REPLACE;
    // The entry, as --cat takes a path: names in code page 437, '/' or '\'
    // between them, letters in any case. For EDIT_ADD and EDIT_MKDIR, the
    // path of the entry to be made.
    std::string path;
    std::string newName;  // EDIT_RENAME: the new name, code page 437
    // EDIT_REPLACE and EDIT_ADD: the new data, held here or read from a file.
    EditSourceKind source = EDIT_SOURCE_HOST_FILE;  // EDIT_SOURCE_HOST_FILE or EDIT_SOURCE_BYTES
    std::string hostPath;                           // host text
    uint64_t hostSize = 0;                          // the file's length when asked
    std::vector<uint8_t> bytes;
};

// Works out the plan that makes every request of `requests`, in order, to the
// archive `archive`, reading its listings and nothing else. Returns 1 with
// `*plan` filled; 0 when the change cannot be made whole, with one line
// saying why in `*why` (UTF-8) and `*plan` left as it was.
int planArchiveEdit(const ByteSource& archive, const std::vector<EditRequest>& requests,
                    EditPlan* plan, std::string* why);

// Checks a new entry name given in UTF-8 (not empty, not "." or "..", no '/'
// or '\', a code page 437 form of at most 32 bytes). Returns 1 with that form
// in `*cp437`, or 0 with one line saying why in `*why`.
int editNameFromUtf8(std::string_view utf8, std::string* cp437, std::string* why);
