// Opening an archive for one command-line run.
#pragma once

#include <ostream>
#include <string>

#include "archive/session.h"

// Opens and loads `path` (exactly as given) into `session`, writing what
// opening settled first (a change rolled back) as a line on `err`. Returns 1
// when the archive is usable; otherwise 0, after writing one line naming the
// path and the problem (with the system's cause when it could not be opened) to `err`.
int openArchiveForCommandLine(ArchiveSession& session, const std::string& path, std::ostream& err);

// Writes the line saying that `path` could not be opened, with the system's
// cause `openError` when there is one.
void reportCannotOpen(const std::string& path, const std::string& openError, std::ostream& err);
