// Copying one entry's data out of the archive into its output file, the one
// operation behind both F2 and --extract. The file is written under a
// temporary name and renamed into place only when complete, so an output
// path never holds a half-written file, not even after an interrupt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "output/output_run.h"
#include "platform/archive_file.h"
#include "platform/output_files.h"

class Entry;

constexpr size_t RIP_BLOCK_SIZE = 16384;

enum CopyStatus : int32_t {
    COPY_DONE = 0,           // the output file holds exactly the entry's bytes
    COPY_KEPT = 1,           // something stood at the output path and was left alone
    COPY_NO_ROOM = 2,        // less free space than the entry's size
    COPY_MKDIR_FAILED = 3,   // an output directory could be neither entered nor created
    COPY_CREATE_FAILED = 4,  // the output file could not be created or put in place
    COPY_READ_FAILED = 5,    // the archive gave fewer bytes than the entry holds
    COPY_WRITE_FAILED = 6,   // writing the output file failed
    COPY_CANCELLED = 7,      // the caller asked to stop (CopyOptions::cancel); nothing was left
};

struct CopyResult {
    CopyStatus status = COPY_DONE;
    int error = 0;     // the cause (platform/output_files.h), 0 when there is none
    std::string path;  // the directory that could not be made, when that failed
};

// Called before each block with the bytes done so far and the entry's size.
using CopyProgress = std::function<void(uint64_t done, uint64_t size)>;
// Asked before each block, after the progress, with the bytes done so far;
// true stops the copy.
using CopyCancel = std::function<bool(uint64_t done)>;

struct CopyOptions {
    unsigned char* buffer = nullptr;  // at least RIP_BLOCK_SIZE bytes
    CopyProgress progress;            // may be empty
    CopyCancel cancel;                // may be empty
    // Copy inside the kernel where the file systems allow it, otherwise
    // block by block through `buffer`. The kernel's steps are
    // COPY_KERNEL_STEP, or with `stepByPercent` about a hundredth of the
    // file in whole blocks, so that a progress line moves by each percent
    // as it does block by block.
    bool inKernel = false;
    bool stepByPercent = false;
    bool keepExisting = false;  // leave whatever stands at the output path alone
};
constexpr size_t COPY_KERNEL_STEP = 64u << 20;

// Copies `entry`'s data from `archive` to `outputPath` below the run's base
// (its path planned for the run, output_plan.h): checks the free space and that the data lies
// within the archive before making any directory, enters its directory, writes a temporary file
// and renames it over whatever file stands there. A directory, symbolic link, special file or
// read-only file at the output path is refused. A file of size 0 is created empty without reading
// (wherever its offset points) and never calls `progress` or `cancel`. On any failure, and when
// cancelled, nothing is left under a temporary name and the file at the output path is untouched.
CopyResult copyEntryOut(OutputRun* run, const ArchiveFile& archive, const Entry* entry,
                        std::string_view outputPath, const CopyOptions& options);

// The reads and writes the copy makes; tests replace them to make either fail.
struct CopyIo {
    int64_t (*readAt)(const ArchiveFile& archive, uint64_t offset, void* buffer, size_t count);
    int (*write)(OutputFile* file, const void* bytes, size_t count, int* error);
    int64_t (*copyRange)(OutputFile* file, intptr_t archiveHandle, uint64_t offset, size_t count,
                         int* error);
    uint64_t (*freeSpace)(OutputDirectory directory);
};
extern CopyIo copyIo;
