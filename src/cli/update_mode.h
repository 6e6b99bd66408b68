// `--update`: the files of a directory that --extract filled, edited since,
// put back into the archive as one change that --undo takes back.
#pragma once

#include <iosfwd>
#include <string>

struct UpdateCommand {
    std::string archive;    // host text
    std::string directory;  // host text
    bool addNew = false;    // also add the files that no entry has
    bool dryRun = false;    // say what would be done, change nothing
};

// Replaces every entry whose file under the directory (at the path --extract
// writes it to) holds other bytes, and with `addNew` adds the files no entry
// has, all as one change. Writes a line per file (replaced, added, unchanged
// or skipped, with why) and the totals to `out`. Returns 0 when done, also
// when nothing differed or in a dry run; 1 with the reasons on `err` when the
// update cannot be made whole, the archive then unchanged.
int updateMode(const UpdateCommand& command, std::ostream& out, std::ostream& err);
