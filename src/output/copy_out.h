// The checked copy of one file's data from the archive into a new output file.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>

constexpr size_t RIP_BLOCK_SIZE = 16384;

enum CopyResult {
    COPY_DONE = 0,           // the output file holds exactly the requested bytes
    COPY_CREATE_FAILED = 1,  // the output file could not be opened for writing
    COPY_READ_FAILED = 2,    // the archive gave fewer bytes than asked (ended early, or an error)
    COPY_WRITE_FAILED = 3,   // writing or closing the output file failed
};

// The reads and writes the copy makes; tests replace them to make either fail.
// They behave as pread(2), write(2) and copy_file_range(2) without flags.
struct CopyIo {
    ssize_t (*readAt)(int fd, void* buffer, size_t count, off_t offset);
    ssize_t (*write)(int fd, const void* buffer, size_t count);
    ssize_t (*copyRange)(int inFd, off_t* inOffset, int outFd, size_t count);
};
extern CopyIo copyIo;

// How the bytes travel: through the caller's buffer in RIP_BLOCK_SIZE blocks
// (ripping, whose progress follows every block), or inside the kernel in steps
// of COPY_KERNEL_STEP where the file systems allow it (the command-line
// extractor), going on through the buffer wherever they do not.
enum CopyPath { COPY_THROUGH_BUFFER, COPY_IN_KERNEL };
constexpr size_t COPY_KERNEL_STEP = 64u << 20;

// Called before each block with the bytes done so far and the file's size.
using CopyProgress = std::function<void(uint64_t done, uint64_t size)>;

// Copies `size` bytes at `offset` of the archive `archiveFd` into the file
// `leafName` of the directory `directoryFd`, created or emptied (a symbolic
// link, FIFO or device there is refused, not written to), in blocks of RIP_BLOCK_SIZE through
// `buffer` (at least RIP_BLOCK_SIZE bytes), calling `progress` (when set)
// before each block. A size of 0 creates an empty file and never calls
// `progress`. Returns COPY_DONE, or the first failure. Data known to lie past
// the end of a regular archive file fails with COPY_READ_FAILED before the
// output file is touched; after any later read or write failure the incomplete
// output file has been removed.
CopyResult copyToNewFile(int archiveFd, uint64_t offset, uint64_t size, int directoryFd,
                         const char* leafName, unsigned char* buffer, const CopyProgress& progress,
                         CopyPath path = COPY_THROUGH_BUFFER);
