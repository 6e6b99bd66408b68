#include "platform/archive_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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
    size_ = static_cast<uint64_t>(status.st_size);
    stamp_.identity = {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
    stamp_.size = size_;
    stamp_.modifiedNanoseconds = static_cast<int64_t>(status.st_mtim.tv_sec) * 1000000000 +
                                 static_cast<int64_t>(status.st_mtim.tv_nsec);
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
    auto* bytes = static_cast<unsigned char*>(buffer);
    size_t got = 0;
    while (got < count) {
        ssize_t n = pread(static_cast<int>(handle_), bytes + got, count - got,
                          static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(got);
}
