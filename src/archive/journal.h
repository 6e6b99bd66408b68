// The journal of changes beside an archive: a change applied as one step that
// lands whole or not at all, an unfinished step rolled back, complete steps
// taken back one at a time. Old bytes and the old length are in the journal
// and synced before a byte of the archive is overwritten; the step is marked
// complete last.
//
// Everything here works on two ByteStores (the archive and its journal) and
// expects the caller to hold the archive's lock (platform/edit_files.h) for
// every call that writes; archive/change.h opens the files and calls these.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/edit_plan.h"
#include "archive/journal_format.h"
#include "platform/archive_file.h"
#include "platform/byte_store.h"

// Where a step stands.
enum JournalStepState : int32_t {
    STEP_IN_PROGRESS = 0,  // its old bytes are saved; the archive may be part written
    STEP_COMPLETE = 1,     // the archive holds the change
    STEP_UNDOING = 2,      // being taken back; the archive may be part restored
};

// One step as the journal holds it (its saved bytes stay in the journal).
struct JournalStep {
    uint64_t start = 0;   // where its STEP record begins in the journal
    RecordHeader record;  // that record's header
    StepFixed fixed;      // time, lengths, bytes written
    std::string description;
    JournalStepState state = STEP_IN_PROGRESS;
    uint64_t newLength = 0;     // complete steps: the archive's length after the step
    uint32_t writtenCheck = 0;  // complete steps: CRC-32 of the bytes it wrote, after it
};

// What a journal file holds.
enum JournalState : int32_t {
    JOURNAL_ABSENT = 0,   // nothing recorded (no file, an empty one, or one cut off while made)
    JOURNAL_PRESENT = 1,  // a journal of this program; `identity` and `steps` are set
    JOURNAL_FOREIGN = 2,  // something this program cannot read: it is left alone
};

struct JournalContents {
    JournalState state = JOURNAL_ABSENT;
    FileIdentity identity;           // the archive the journal belongs to
    std::vector<JournalStep> steps;  // oldest first; only the last can be unfinished
    uint64_t end = 0;                // where the last whole record ends
};

// Reads the header and the records of `journal` (not the saved bytes); a torn
// record and everything after it are left out. Returns 1 with `*contents`
// filled, or 0 when the journal cannot be read, with the cause in `*why`.
int readJournal(const ByteSource& journal, JournalContents* contents, std::string* why);

// True when `contents` (of a journal `journalSize` bytes long) holds anything
// that only the archive's lock-holder may settle: an unfinished last step, or
// bytes after the last whole record.
bool journalNeedsRecovery(const JournalContents& contents, uint64_t journalSize);

// What recoverJournal did.
enum RecoveryAction : int32_t {
    RECOVERY_NOTHING = 0,        // nothing was unfinished
    RECOVERY_ROLLED_BACK = 1,    // an unfinished step was rolled back and removed
    RECOVERY_DROPPED = 2,        // a step torn before it touched the archive was dropped
    RECOVERY_UNDO_FINISHED = 3,  // a step being undone was taken back and removed
};

// Settles what an interrupted change left behind in `journal` (described by
// `contents`, read under the lock, which is kept up to date): rolls an
// unfinished last step back (its saved bytes written back, the old length
// restored, the archive synced) and removes it, drops a torn step, and cuts
// off bytes after the last whole record. Safe to repeat and to interrupt.
// Returns 1 with what was done in `*action` and the step's description in
// `*description`; 0 with the cause in `*why` when the archive could not be
// restored, the step then kept for the next attempt.
int recoverJournal(ByteStore& archive, ByteStore& journal, JournalContents* contents,
                   RecoveryAction* action, std::string* description, std::string* why);

// Applies `plan` to `archive` as a new step of `journal` (described by
// `contents`, with no unfinished step; a journal without a header gets one
// naming `identity`), stamped with `time`. Returns 1 when the archive holds
// the change and the step is complete; 0 with the cause in `*why`, the
// archive then as it was before (the step rolled back at once) or, when even
// that failed, the unfinished step left for the next open to roll back.
int applyJournalStep(ByteStore& archive, ByteStore& journal, JournalContents* contents,
                     const FileIdentity& identity, const EditPlan& plan, int64_t time,
                     std::string* why);

// Takes the last complete step of `journal` back, leaving the archive as it
// was before that step, and removes the step. Refuses, changing nothing,
// when the archive's length or the bytes the step wrote are not what the
// step left (something else changed it since). Returns 1; 0 with the cause
// in `*why` (after a failure part way the step is left being undone, for the
// next open to finish).
int undoJournalStep(ByteStore& archive, ByteStore& journal, JournalContents* contents,
                    std::string* why);
