// One run of output (one F2 press, one --extract): the base directory and the
// directories open along the current path. The names the run writes are
// planned before it starts (output/output_plan.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/output_files.h"

// Levels between directory handles kept open far above the deepest level.
constexpr size_t OUTPUT_CHECKPOINT = 64;

struct OutputRun {
    OutputDirectory base = NO_OUTPUT_DIRECTORY;

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

// The open directory `directory` ('/'-separated, relative to the base; empty
// for the base), entered and created where missing, never through a symbolic
// link. The directories along the way stay open for the next call, so a
// depth-first walk costs one open per level. The run owns the result. On
// failure returns NO_OUTPUT_DIRECTORY, with `*failedPath` the path of the
// component that could be neither entered nor created and `*error` the cause.
OutputDirectory enterOutputDirectory(OutputRun* run, std::string_view directory,
                                     std::string* failedPath, int* error);
