// `--cat`: one file's bytes on standard output, for pipes.
#pragma once

#include <iosfwd>
#include <string>

// Writes the data of the file at `entryPath` inside the archive at
// `archivePath` to `out`, byte for byte. `entryPath` is UTF-8, names
// separated by '/' (or '\'), letters without case. Returns the exit status:
// 0 written; 1, with one line on `err` and nothing on `out`, when the archive
// cannot be used, there is no such file (a directory is none) or its data
// runs past the end of the archive; 1 as well when reading or writing fails
// part way.
int catMode(const std::string& archivePath, const std::string& entryPath, std::ostream& out,
            std::ostream& err);
