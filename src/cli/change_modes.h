// The modes that change an archive in place (--replace, --add, --delete,
// --rename, --mkdir) and those that take changes back or drop them (--undo,
// --history, --forget). Each either does all it was asked or changes nothing.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "archive/editor.h"

// One change asked for on the command line.
struct ChangeCommand {
    EditOperation operation = EDIT_REPLACE;
    std::string archive;             // host text
    std::vector<std::string> paths;  // entries in the archive (UTF-8); several only for EDIT_DELETE
    std::string hostFile;            // EDIT_REPLACE, EDIT_ADD: the file with the new data
    std::string newName;             // EDIT_RENAME: the new name (UTF-8)
};

// Makes the change `command` asks for as one step that --undo takes back.
// Returns the exit status: 0 done, with what was done on `out` (notes and
// what opening the archive settled first on `err`); 1, with one line on
// `err` and the archive unchanged, when it cannot be done whole.
int changeMode(const ChangeCommand& command, std::ostream& out, std::ostream& err);

// --undo: takes back the archive's last change. Returns 0 when done (what was
// taken back on `out`); 1 with one line on `err` when there is none or it
// cannot be taken back, the archive then unchanged.
int undoMode(const std::string& archive, std::ostream& out, std::ostream& err);

// --history: lists the changes --undo can take back, newest first: number,
// date, description, bytes written. Returns 0; 1 with one line on `err` when
// the archive or its journal cannot be read.
int historyMode(const std::string& archive, std::ostream& out, std::ostream& err);

// --forget: drops the changes --undo could take back and says how much that
// frees. Returns 0; 1 with one line on `err` when it cannot.
int forgetMode(const std::string& archive, std::ostream& out, std::ostream& err);
