// One run of output (one F2 press, one --extract): the base directory, the
// names already written in this run, and the directories open along the
// current path.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/output_files.h"

// Levels between directory handles kept open far above the deepest level.
constexpr size_t OUTPUT_CHECKPOINT = 64;

struct OutputRun {
    OutputDirectory base = NO_OUTPUT_DIRECTORY;

    // Directories claimed in this run are numbered in the order claimed, from
    // 1 (the base is 0). Names are remembered per directory number, so the
    // memory stays linear in the number of entries however deep they nest.
    struct Claimed {
        uint32_t id;
        std::string name;  // the name it is written under
    };
    std::unordered_map<std::string, Claimed> directories;  // "parent/given name" -> claim
    std::unordered_set<std::string> takenFiles;            // "parent/name" of files written
    std::unordered_set<std::string> takenDirectories;      // "parent/name" of directories

    // The directories open along `openPath` (relative to the base), one per
    // level, each with the length of its own path in `openPath`. Far above
    // the deepest level only every OUTPUT_CHECKPOINT-th handle stays open.
    struct Level {
        size_t end;
        OutputDirectory handle;
    };
    std::vector<Level> open;
    std::string openPath;
};

// Opens the base directory `path` (created with its parents when `create`).
// Returns 1, or 0 with the cause in `*error`.
int beginOutputRun(OutputRun* run, const char* path, bool create, int* error);
// Closes every directory the run holds.
void endOutputRun(OutputRun* run);

// Claims the directory `name` (one output path component) inside the claimed
// directory `parent` (0 for the base) and returns its number; `*written` is
// set to the name it is written under: `name` itself, or a numbered name
// (numberedName) when a file written earlier in this run took it.
uint32_t claimDirectoryName(OutputRun* run, uint32_t parent, std::string_view name,
                            std::string* written);
// Claims the file `name` inside the claimed directory `parent` and returns
// the name it is written under: `name`, or a numbered name when a file or
// directory of this run took it.
std::string claimFileName(OutputRun* run, uint32_t parent, std::string_view name);
// Claims the '/'-separated `relative` path (outputPathFor's form) inside the
// claimed directory `parent`: its directories, then its last component as a
// file, or as a directory too when `lastIsDirectory`. Appends the path written
// under to `*path` (with a '/' first when `*path` is not empty) and returns
// the number of the last directory claimed (`parent` when there is none).
uint32_t claimRelativePath(OutputRun* run, uint32_t parent, std::string_view relative,
                           bool lastIsDirectory, std::string* path);
// Claims a whole output path below the base as a file's; returns the path written under.
std::string claimOutputPath(OutputRun* run, std::string_view outputPath);

// The open directory `directory` ('/'-separated, relative to the base; empty
// for the base), entered and created where missing, never through a symbolic
// link. The directories along the way stay open for the next call, so a
// depth-first walk costs one open per level. The run owns the result. On
// failure returns NO_OUTPUT_DIRECTORY, with `*failedPath` the path of the
// component that could be neither entered nor created and `*error` the cause.
OutputDirectory enterOutputDirectory(OutputRun* run, std::string_view directory,
                                     std::string* failedPath, int* error);

// `name` with "~N" put before its extension (the part from its last '.', when
// that is not its first character): "A_B" -> "A_B~2", "README.TXT" -> "README~2.TXT".
std::string numberedName(std::string_view name, int number);
