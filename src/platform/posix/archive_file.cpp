#include "platform/archive_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/file_reads.h"

ArchiveFile::~ArchiveFile() {
    close();
}

int ArchiveFile::open(const char* path, std::string* why) {
    close();
    // Read-only, so archives on read-only media or without write permission
    // open; non-blocking, so that a FIFO given as the archive cannot hang us.
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (why != nullptr)
            *why = std::strerror(errno);
        return 0;
    }
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        if (why != nullptr)
            *why = "not a regular file";
        ::close(fd);
        return 0;
    }
    handle_ = fd;
    stamp_ = stampOf(status);
    size_ = stamp_.size;
    return 1;
}

void ArchiveFile::close() {
    if (handle_ != INVALID_HANDLE)
        ::close(static_cast<int>(handle_));
    handle_ = INVALID_HANDLE;
    size_ = 0;
    stamp_ = FileStamp{};
}

int64_t ArchiveFile::readAt(uint64_t offset, void* buffer, size_t count) const {
    if (handle_ == INVALID_HANDLE)
        return -1;
    return readFullyAt(static_cast<int>(handle_), offset, buffer, count);
}
