// `--create`: packs a directory tree into a new DIR archive.
#pragma once

#include <iosfwd>
#include <string>

#include "archive/writer.h"

// Packs `directory` into `archivePath` through a temporary file renamed into
// place. Returns 0 when written ("N files, M bytes" on `out`), 1 when refused
// or failed (message on `err`, nothing written). A refusal names every problem
// of the tree, one line each, with paths as the user named the tree.
int createMode(const std::string& archivePath, const std::string& directory, std::ostream& out,
               std::ostream& err);
