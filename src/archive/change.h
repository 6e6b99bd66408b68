// Changing an archive in place, as the front ends ask for it: the archive
// opened for a change under its lock, whatever an interrupted change left
// settled first, the change worked out from the locked file's own bytes and
// applied as one journal step; undoing steps, listing and forgetting them;
// and the settling every open of an archive does first.
//
// Texts (descriptions, notes, reasons) are UTF-8; paths are host text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/edit_plan.h"
#include "archive/editor.h"
#include "platform/archive_file.h"
#include "platform/edit_files.h"

// How a change is to be made.
struct ChangeOptions {
    // When set, the archive must be this very file with this length and
    // modification time (as loaded), or the change is refused and the caller
    // reloads it first.
    const FileStamp* loaded = nullptr;
    // Work the change out and report it, writing nothing.
    bool dryRun = false;
    // How long to wait for another program's lock on the archive.
    int lockWaitMilliseconds = EDIT_LOCK_WAIT_MILLISECONDS;
    // When not empty, names the change in its report and the history instead
    // of the editor's own words (one line, UTF-8).
    std::string description;
};

// What a change, an undo or a forget did, for the front ends to show.
struct ChangeReport {
    // What was settled first, one line each ("rolled back an unfinished
    // change: replace MAPS/E1M1.MAP"); the command-line modes print these on
    // standard error.
    std::vector<std::string> settled;
    // What was done (or, in a dry run, would be), one line each: the
    // change's description with the bytes written.
    std::vector<std::string> lines;
    // What the user is told besides (names that come back changed, entries
    // taken along), one line each; the command-line modes print these as notes.
    std::vector<std::string> notes;
    std::string why;  // when refused: one line saying why
    EditPlan plan;    // the change as it was worked out
    uint64_t bytesWritten = 0;
    // The archive afterwards, for a caller that keeps it loaded to tell
    // its own change from someone else's.
    FileStamp stamp;
};

// Makes every request of `requests` to the archive at `archivePath` as one
// step that can be undone. Returns 1 when the archive holds the change (or,
// in a dry run, when it could be made); 0 with the reason in `report->why`,
// the archive then unchanged.
int changeArchive(const std::string& archivePath, const std::vector<EditRequest>& requests,
                  const ChangeOptions& options, ChangeReport* report);

// As changeArchive, for a plan already worked out (for an archive of exactly
// `plan.oldLength` bytes). Returns 1 when applied, 0 with the reason.
int applyArchivePlan(const std::string& archivePath, const EditPlan& plan,
                     const ChangeOptions& options, ChangeReport* report);

// Takes back the last change of the archive, leaving it byte for byte as it
// was before. Refuses, changing nothing, when there is none or something
// else changed the archive since. Returns 1 when done, 0 with the reason.
int undoArchiveChange(const std::string& archivePath, const ChangeOptions& options,
                      ChangeReport* report);

// One change that can be undone.
struct HistoryEntry {
    int number = 0;    // 1 for the oldest
    int64_t time = 0;  // when it was made: seconds since 1970, UTC
    std::string description;
    uint64_t bytesWritten = 0;
};

// The changes of the archive that can be undone, newest first. Returns 1
// (with none when there are none), 0 with the reason in `report->why`.
int readChangeHistory(const std::string& archivePath, std::vector<HistoryEntry>* entries,
                      ChangeReport* report);

// Drops every change that can be undone (and a journal that belongs to
// another file), saying in `report->lines` how much that frees. Returns 1,
// or 0 with the reason.
int forgetChangeHistory(const std::string& archivePath, const ChangeOptions& options,
                        ChangeReport* report);

// What every open of an archive does first: when its journal ends in an
// unfinished change, takes the archive's lock and rolls that change back.
// Returns 1 when the archive may be read, with a line to show in `*note`
// (empty when there was nothing to say); 0 when it holds an unfinished
// change that cannot be rolled back now, with the reason in `*why`.
int settleArchive(const std::string& archivePath, std::string* note, std::string* why);
