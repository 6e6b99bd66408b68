// A change to an archive, worked out in full before a byte of the archive is
// written: the writes that make it, in the order they must land, and the
// archive's length afterwards. The editor (archive/editor.h) makes plans; the
// journal applies them as one step that can be rolled back and undone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// When a write lands within its step.
enum EditWritePhase : int32_t {
    EDIT_PHASE_DATA = 0,   // new data and moved ranges, into free space or past the end
    EDIT_PHASE_PATCH = 1,  // records and listings, last
};

// Where a write's bytes come from.
enum EditSourceKind : int32_t {
    EDIT_SOURCE_BYTES = 0,      // `bytes`, held in the plan
    EDIT_SOURCE_HOST_FILE = 1,  // the first `length` bytes of the file at `hostPath`
    EDIT_SOURCE_ARCHIVE = 2,    // the archive's own bytes at `sourceOffset` as they were
                                // before the step (data moved to make room)
};

// One run of bytes written into the archive.
struct EditWrite {
    uint64_t offset = 0;  // where the bytes go
    uint64_t length = 0;  // how many
    EditWritePhase phase = EDIT_PHASE_DATA;
    EditSourceKind source = EDIT_SOURCE_BYTES;
    std::vector<uint8_t> bytes;  // EDIT_SOURCE_BYTES: exactly `length` bytes
    std::string hostPath;        // EDIT_SOURCE_HOST_FILE: host text; the file must still
                                 // hold exactly `length` bytes when the step runs
    uint64_t sourceOffset = 0;   // EDIT_SOURCE_ARCHIVE
};

// The whole change. Guarantees of the editor that the journal relies on:
// every EDIT_PHASE_DATA write comes before every EDIT_PHASE_PATCH write; no
// data write touches a byte that any EDIT_SOURCE_ARCHIVE write reads; no
// write reaches to or past 4 GiB.
struct EditPlan {
    std::string description;         // one line (UTF-8) naming the change for the history
    uint64_t oldLength = 0;          // the archive's length the plan was made for
    uint64_t newLength = 0;          // its length once the step is complete
    std::vector<EditWrite> writes;   // in the order they land
    std::vector<std::string> notes;  // what the user is told besides (UTF-8), one line each
};
