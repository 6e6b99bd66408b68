#include "output/copy_out.h"

#include "archive/entry.h"
#include "output/output_name.h"

namespace {

int64_t archiveReadAt(const ArchiveFile& archive, uint64_t offset, void* buffer, size_t count) {
    return archive.readAt(offset, buffer, count);
}

CopyResult failed(CopyStatus status, int error, std::string path) {
    CopyResult result;
    result.status = status;
    result.error = error;
    result.path = std::move(path);
    return result;
}

// Refuses what must not be replaced by the rename: a directory, a symbolic
// link (replacing it would surprise whoever made it), a special file, or a
// file made read-only, which cp would not overwrite either.
int obstacleError(OutputNameKind kind) {
    switch (kind) {
        case OUTPUT_NAME_DIRECTORY:
            return OUTPUT_ERROR_DIRECTORY;
        case OUTPUT_NAME_SYMLINK:
            return OUTPUT_ERROR_SYMLINK;
        case OUTPUT_NAME_SPECIAL:
            return OUTPUT_ERROR_SPECIAL_FILE;
        case OUTPUT_NAME_READ_ONLY:
            return OUTPUT_ERROR_READ_ONLY;
        default:
            return 0;
    }
}

// The bytes one kernel copy takes. By percent: a hundredth of the file
// rounded up to whole blocks, so that a progress line moves as often as it
// would block by block, and a 1 GB file costs a hundred calls, not 65,536.
size_t kernelStep(uint64_t size, const CopyOptions& options) {
    if (!options.stepByPercent)
        return COPY_KERNEL_STEP;
    uint64_t blocks = (size / 100 + RIP_BLOCK_SIZE - 1) / RIP_BLOCK_SIZE;
    uint64_t step = (blocks > 0 ? blocks : 1) * RIP_BLOCK_SIZE;
    return step < COPY_KERNEL_STEP ? size_t(step) : COPY_KERNEL_STEP;
}

// Shows the progress and asks whether to stop, before each step.
bool stopBefore(uint64_t done, uint64_t size, const CopyOptions& options) {
    if (options.progress)
        options.progress(done, size);
    return options.cancel && options.cancel(done);
}

// Fills the open file with `size` bytes at `offset`; 0 when done, else the status.
CopyStatus fill(OutputFile* file, const ArchiveFile& archive, uint64_t offset, uint64_t size,
                const CopyOptions& options, int* error) {
    uint64_t done = 0;
    const size_t step = kernelStep(size, options);
    // The kernel's copy stops at the first thing it cannot do; the buffer
    // loop then takes over and tells a read failure from a write failure.
    while (options.inKernel && done < size) {
        if (stopBefore(done, size, options))
            return COPY_CANCELLED;
        size_t count = size - done < step ? size_t(size - done) : step;
        int64_t copied =
            copyIo.copyRange(file, archive.nativeHandle(), offset + done, count, error);
        if (copied < 0)
            return COPY_WRITE_FAILED;
        if (copied == 0)
            break;
        done += uint64_t(copied);
    }
    while (done < size) {
        size_t block = size - done < RIP_BLOCK_SIZE ? size_t(size - done) : RIP_BLOCK_SIZE;
        if (stopBefore(done, size, options))
            return COPY_CANCELLED;
        // A short read means the archive ends before the file's data does,
        // which must not pass as success.
        if (copyIo.readAt(archive, offset + done, options.buffer, block) != int64_t(block)) {
            *error = OUTPUT_ERROR_SHORT_READ;
            return COPY_READ_FAILED;
        }
        if (!copyIo.write(file, options.buffer, block, error))
            return COPY_WRITE_FAILED;
        done += block;
    }
    return COPY_DONE;
}

}  // namespace

CopyIo copyIo = {archiveReadAt, writeOutputFile, copyIntoOutputFile, outputFreeSpace};

CopyResult copyEntryOut(OutputRun* run, const ArchiveFile& archive, const Entry* entry,
                        std::string_view outputPath, const CopyOptions& options) {
    const std::string path(outputPath);
    const std::string leaf(outputLeafOf(path));
    int error = 0;
    if (leaf.empty())
        return failed(COPY_CREATE_FAILED, 0, std::string());

    const uint64_t size = entry->size;
    // An empty file reads nothing, so where its offset points does not matter.
    const uint64_t offset = entry->info != nullptr ? entry->info->offset : 0;
    const bool pastTheEnd = size > 0 && (offset > archive.size() || size > archive.size() - offset);
    // A file that cannot be written is refused before its directories are
    // made, so that it leaves no empty directory behind. The base's figure
    // serves: the directories would be made on its file system. What stands
    // at the name must be known first to keep it, so --keep tests after.
    if (!options.keepExisting) {
        if (copyIo.freeSpace(run->base) < size)
            return failed(COPY_NO_ROOM, 0, std::string());
        if (pastTheEnd)
            return failed(COPY_READ_FAILED, OUTPUT_ERROR_SHORT_READ, std::string());
    }

    std::string failedDirectory;
    OutputDirectory directory =
        enterOutputDirectory(run, outputDirectoryOf(path), &failedDirectory, &error);
    if (directory == NO_OUTPUT_DIRECTORY)
        return failed(COPY_MKDIR_FAILED, error, failedDirectory);

    CopyResult result;
    // What stands at the name is looked up once, for both --keep and the obstacles.
    const OutputNameKind standing = outputNameKind(directory, leaf.c_str());
    if (options.keepExisting && standing != OUTPUT_NAME_FREE) {
        result.status = COPY_KEPT;
        return result;
    }
    // Again where the file goes: an existing directory there may be another
    // file system (a mount point).
    if (copyIo.freeSpace(directory) < size)
        return failed(COPY_NO_ROOM, 0, std::string());
    // Data known to lie past the end of the archive fails before anything is
    // touched, so an earlier output file of that name survives.
    if (pastTheEnd)
        return failed(COPY_READ_FAILED, OUTPUT_ERROR_SHORT_READ, std::string());
    if (int obstacle = obstacleError(standing))
        return failed(COPY_CREATE_FAILED, obstacle, std::string());

    OutputFile file;
    if (!createOutputFile(directory, leaf.c_str(), &file, &error))
        return failed(COPY_CREATE_FAILED, error, std::string());
    CopyStatus status = fill(&file, archive, offset, size, options, &error);
    // A file made read-only at the name while the copy ran is refused at the rename.
    if (status == COPY_DONE && !commitOutputFile(&file, leaf.c_str(), &error))
        status = error == OUTPUT_ERROR_READ_ONLY ? COPY_CREATE_FAILED : COPY_WRITE_FAILED;
    if (status != COPY_DONE)
        discardOutputFile(&file);
    if (status != COPY_DONE)
        return failed(status, error, std::string());
    return result;
}
