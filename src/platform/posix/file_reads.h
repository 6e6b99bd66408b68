// What the archive opened for reading and the files a change opens share:
// positioned reads that go on to the end, and a file's stamp from its status.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

#include "platform/archive_file.h"

// Reads up to `count` bytes at `offset` of `descriptor` into `buffer`, going
// on after interrupted and short reads. Returns the bytes read (fewer than
// `count` only at the end of the file), or -1 on a read error.
inline int64_t readFullyAt(int descriptor, uint64_t offset, void* buffer, size_t count) {
    auto* bytes = static_cast<unsigned char*>(buffer);
    size_t got = 0;
    while (got < count) {
        const ssize_t n = pread(descriptor, bytes + got, count - got, off_t(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        got += size_t(n);
    }
    return int64_t(got);
}

// The identity, length and modification time that `status` describes.
inline FileStamp stampOf(const struct stat& status) {
    FileStamp stamp;
    stamp.identity = {uint64_t(status.st_dev), uint64_t(status.st_ino)};
    stamp.size = uint64_t(status.st_size);
    stamp.modifiedNanoseconds =
        int64_t(status.st_mtim.tv_sec) * 1000000000 + int64_t(status.st_mtim.tv_nsec);
    return stamp;
}
