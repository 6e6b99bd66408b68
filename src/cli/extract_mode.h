// `--extract`: the files of an archive's whole tree, written below a directory.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

struct ExtractOptions {
    std::string archivePath;
    std::string directory = ".";        // created when missing
    std::vector<std::string> patterns;  // UTF-8; empty means every file
    bool keep = false;                  // skip files that exist already
    bool progress = false;              // a progress line on `err`
};

// Extracts with the same naming, confinement, free-space and checked copy as
// ripping, every output name planned for the whole run first (a clash noted
// on `err`); with patterns, the files PatternChoice chooses (a directory a
// pattern names is created and extracted whole). Goes on past a file it cannot
// write, naming it on `err`, and ends with the count of such files there.
// Writes "N files, M bytes" to `out`. Returns 0 when every chosen file was
// written and every directory made, 1 otherwise (a file that failed leaves
// nothing half-written) or when a pattern matched nothing (named on `err`, the
// rest extracted all the same). Damage the load mended is noted in one line on `err`.
int extractMode(const ExtractOptions& options, std::ostream& out, std::ostream& err);
