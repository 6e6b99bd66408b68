// `--list`: every entry of an archive, one line each or as one JSON document.
#pragma once

#include <iosfwd>
#include <string>

enum ListFormat { LIST_TEXT, LIST_JSON };

// Writes the listing of the archive at `archivePath` to `out`. Returns the
// exit status: 0 listed, 1 the archive could not be used (message on `err`).
int listMode(const std::string& archivePath, ListFormat format, std::ostream& out,
             std::ostream& err);
