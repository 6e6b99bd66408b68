// Opening an archive for one command-line run.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "archive/session.h"

// Whether a mode tells the user that the load mended or dropped records.
enum DamageNote {
    DAMAGE_UNSAID = 0,  // the mode reports damage itself, or has no room for it
    DAMAGE_NOTED = 1,   // one line on `err` when anything was mended or dropped
};

// Opens and loads `path` (exactly as given) into `session`, writing what
// opening settled first (a change rolled back) as a line on `err`. Returns 1
// when the archive is usable; otherwise 0, after writing one line naming the
// path and the problem (with the system's cause when it could not be opened)
// to `err`. With DAMAGE_NOTED, a usable archive whose load dropped duplicates,
// cut cycles or closed listings that end early is said to be damaged, in one
// line on `err` that points to --verify.
int openArchiveForCommandLine(ArchiveSession& session, const std::string& path, std::ostream& err,
                              DamageNote note = DAMAGE_UNSAID);

// Writes the line saying that `path` could not be opened, with the system's
// cause `openError` when there is one.
void reportCannotOpen(const std::string& path, const std::string& openError, std::ostream& err);

// The words for an archive of `fileSize` bytes whose load stopped at the cap
// on records: "holds too many entries: ..." with the number of records read
// and the limit.
std::string tooManyEntriesText(uint64_t fileSize);
