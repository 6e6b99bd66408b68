#include "output/copy_out.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

ssize_t kernelCopy(int inFd, off_t* inOffset, int outFd, size_t count) {
    return copy_file_range(inFd, inOffset, outFd, nullptr, count, 0);
}

}  // namespace

CopyIo copyIo = {pread, write, kernelCopy};

namespace {

// Reads exactly `count` bytes or reports failure: a short read means the
// archive ends before the file's data does, which must not pass as success.
bool readFully(int fd, unsigned char* buffer, size_t count, uint64_t offset) {
    size_t done = 0;
    while (done < count) {
        ssize_t got = copyIo.readAt(fd, buffer + done, count - done, off_t(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += size_t(got);
    }
    return true;
}

bool writeFully(int fd, const unsigned char* buffer, size_t count) {
    size_t done = 0;
    while (done < count) {
        ssize_t put = copyIo.write(fd, buffer + done, count - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += size_t(put);
    }
    return true;
}

}  // namespace

CopyResult copyToNewFile(int archiveFd, uint64_t offset, uint64_t size, int directoryFd,
                         const char* leafName, unsigned char* buffer, const CopyProgress& progress,
                         CopyPath path) {
    // Data that lies past the end of the archive is known missing before
    // anything is touched, so an earlier output file of that name survives.
    struct stat archive;
    if (fstat(archiveFd, &archive) == 0 && S_ISREG(archive.st_mode) &&
        (offset > uint64_t(archive.st_size) || size > uint64_t(archive.st_size) - offset))
        return COPY_READ_FAILED;

    // O_NONBLOCK keeps a FIFO of that name from stopping the program until some
    // reader appears; anything but a plain file is refused.
    int out = openat(directoryFd, leafName,
                     O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (out < 0)
        return COPY_CREATE_FAILED;
    struct stat created;
    if (fstat(out, &created) != 0 || !S_ISREG(created.st_mode)) {
        close(out);
        return COPY_CREATE_FAILED;
    }

    CopyResult result = COPY_DONE;
    uint64_t done = 0;
    // The kernel's copy stops at the first thing it cannot do (file systems
    // that do not support it, an error); the buffer loop then takes over and
    // tells a read failure from a write failure.
    while (path == COPY_IN_KERNEL && done < size) {
        if (progress)
            progress(done, size);
        off_t from = off_t(offset + done);
        size_t step = size - done < COPY_KERNEL_STEP ? size_t(size - done) : COPY_KERNEL_STEP;
        ssize_t copied = copyIo.copyRange(archiveFd, &from, out, step);
        if (copied < 0 && errno == EINTR)
            continue;
        if (copied <= 0)
            break;
        done += uint64_t(copied);
    }
    while (done < size) {
        size_t block = size - done < RIP_BLOCK_SIZE ? size_t(size - done) : RIP_BLOCK_SIZE;
        if (progress)
            progress(done, size);
        if (!readFully(archiveFd, buffer, block, offset + done)) {
            result = COPY_READ_FAILED;
            break;
        }
        if (!writeFully(out, buffer, block)) {
            result = COPY_WRITE_FAILED;
            break;
        }
        done += block;
    }
    // Some file systems (network, quota) report a failed write only at close.
    if (close(out) != 0 && result == COPY_DONE)
        result = COPY_WRITE_FAILED;
    if (result != COPY_DONE)
        unlinkat(directoryFd, leafName, 0);
    return result;
}
