// `--list`: every entry of an archive, one line each or as one JSON document.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

enum ListFormat { LIST_TEXT, LIST_JSON };

// Writes the listing of the archive at `archivePath` to `out`: every entry, or
// with `patterns` (UTF-8 wildcards) only those PatternChoice chooses, as
// --extract chooses files; the JSON totals count what is listed. Damage the
// load mended is noted in one line on `err`. Returns the exit status: 0
// listed, 1 the archive could not be used or a pattern matched nothing (each
// such pattern named on `err`, the rest listed all the same), 2 a pattern has
// a character with no code page 437 form (message on `err`).
int listMode(const std::string& archivePath, ListFormat format, std::ostream& out,
             std::ostream& err, const std::vector<std::string>& patterns = {});
