#include "platform/edit_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/posix/file_reads.h"

namespace {

constexpr int LOCK_POLL_MILLISECONDS = 50;

void say(std::string* why, const std::string& text) {
    if (why != nullptr)
        *why = text;
}

int failWith(std::string* why, int code) {
    say(why, std::strerror(code));
    return 0;
}

// The test hook of edit_files.h: the budget is read once, then spent by
// every write, length change and sync of both kinds of file.
void countEditOperation() {
    static long long left = [] {
        const char* value = std::getenv(EDIT_STOP_VARIABLE);
        return value != nullptr && *value != '\0' ? std::atoll(value) : -1LL;
    }();
    if (left < 0)
        return;
    if (left == 0) {
        kill(getpid(), SIGKILL);
        _exit(128 + SIGKILL);
    }
    --left;
}

bool nobodyMayWrite(const struct stat& status) {
    return (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

int64_t readAtDescriptor(intptr_t handle, uint64_t offset, void* buffer, size_t count) {
    if (handle == ArchiveFile::INVALID_HANDLE)
        return -1;
    return readFullyAt(int(handle), offset, buffer, count);
}

int writeAtDescriptor(intptr_t handle, uint64_t offset, const void* bytes, size_t count,
                      uint64_t* size, std::string* why) {
    countEditOperation();
    if (handle == ArchiveFile::INVALID_HANDLE) {
        say(why, "the file is not open for writing");
        return 0;
    }
    const auto* from = static_cast<const char*>(bytes);
    size_t done = 0;
    while (done < count) {
        ssize_t n = pwrite(int(handle), from + done, count - done, off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return failWith(why, n == 0 ? ENOSPC : errno);
        done += size_t(n);
    }
    if (offset + count > *size)
        *size = offset + count;
    return 1;
}

int setDescriptorLength(intptr_t handle, uint64_t length, uint64_t* size, std::string* why) {
    countEditOperation();
    int result;
    do {
        result = ftruncate(int(handle), off_t(length));
    } while (result != 0 && errno == EINTR);
    if (result != 0)
        return failWith(why, errno);
    *size = length;
    return 1;
}

int syncDescriptor(int descriptor, std::string* why) {
    int result;
    do {
        result = fsync(descriptor);
    } while (result != 0 && errno == EINTR);
    return result == 0 ? 1 : failWith(why, errno);
}

std::string directoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A created or removed name is durable only once its directory is.
int syncDirectory(const std::string& directory, std::string* why) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return failWith(why, errno);
    const int done = syncDescriptor(fd, why);
    ::close(fd);
    return done;
}

}  // namespace

EditableArchive::~EditableArchive() {
    close();
}

EditOpenStatus EditableArchive::open(const char* path, const FileIdentity* expected,
                                     int waitMilliseconds, std::string* why) {
    close();
    struct stat status;
    // Non-blocking, so that a FIFO at the path cannot hang us before it is refused.
    const int fd = ::open(path, O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int code = errno;
        if (code == EROFS || ((code == EACCES || code == EPERM) && stat(path, &status) == 0 &&
                              S_ISREG(status.st_mode) && nobodyMayWrite(status))) {
            say(why, "the archive is read-only");
            return EDIT_OPEN_READ_ONLY;
        }
        say(why, code == EISDIR ? "not a regular file" : std::strerror(code));
        return EDIT_OPEN_FAILED;
    }
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        say(why, "not a regular file");
        return EDIT_OPEN_FAILED;
    }
    // Root may open such a file for writing, but its owner marked it as not
    // to be written by anyone.
    if (nobodyMayWrite(status)) {
        ::close(fd);
        say(why, "the archive is read-only");
        return EDIT_OPEN_READ_ONLY;
    }
    // flock's lock belongs to this open file, so it ends with the process
    // however the process ends: a crashed change never leaves it locked.
    const auto start = std::chrono::steady_clock::now();
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int code = errno;
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        if (code == EINTR)
            continue;
        if (code != EWOULDBLOCK || waited.count() >= waitMilliseconds) {
            ::close(fd);
            say(why, code == EWOULDBLOCK ? "the archive is busy: another program is changing it"
                                         : std::strerror(code));
            return code == EWOULDBLOCK ? EDIT_OPEN_BUSY : EDIT_OPEN_FAILED;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(LOCK_POLL_MILLISECONDS));
    }
    // The holder we waited for may have changed the length.
    if (fstat(fd, &status) != 0) {
        const int code = errno;
        ::close(fd);
        say(why, std::strerror(code));
        return EDIT_OPEN_FAILED;
    }
    if (expected != nullptr && !(stampOf(status).identity == *expected)) {
        ::close(fd);
        say(why, "another file stands at the archive's path now than the one that was loaded");
        return EDIT_OPEN_REPLACED;
    }
    handle_ = fd;
    size_ = uint64_t(status.st_size);
    return EDIT_OPEN_OK;
}

void EditableArchive::close() {
    // Closing the descriptor releases the lock.
    if (handle_ != ArchiveFile::INVALID_HANDLE)
        ::close(int(handle_));
    handle_ = ArchiveFile::INVALID_HANDLE;
    size_ = 0;
}

FileStamp EditableArchive::stamp() const {
    struct stat status;
    if (handle_ == ArchiveFile::INVALID_HANDLE || fstat(int(handle_), &status) != 0)
        return FileStamp{};
    return stampOf(status);
}

int64_t EditableArchive::readAt(uint64_t offset, void* buffer, size_t count) const {
    return readAtDescriptor(handle_, offset, buffer, count);
}

int EditableArchive::writeAt(uint64_t offset, const void* bytes, size_t count, std::string* why) {
    return writeAtDescriptor(handle_, offset, bytes, count, &size_, why);
}

int EditableArchive::setLength(uint64_t length, std::string* why) {
    return setDescriptorLength(handle_, length, &size_, why);
}

int EditableArchive::sync(std::string* why) {
    countEditOperation();
    return syncDescriptor(int(handle_), why);
}

JournalFile::~JournalFile() {
    close();
}

int JournalFile::open(const char* path, JournalOpenMode mode, bool* missing, std::string* why) {
    close();
    if (missing != nullptr)
        *missing = false;
    int fd = -1;
    bool created = false;
    if (mode == JOURNAL_CREATE) {
        fd = ::open(path, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        created = fd >= 0;
    }
    if (fd < 0 && (mode != JOURNAL_CREATE || errno == EEXIST))
        fd = ::open(
            path, (mode == JOURNAL_READ ? O_RDONLY : O_RDWR) | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) {
        if (missing != nullptr)
            *missing = errno == ENOENT;
        return failWith(why, errno);
    }
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        say(why, "not a regular file");
        return 0;
    }
    handle_ = fd;
    size_ = uint64_t(status.st_size);
    if (created)
        directory_ = directoryOf(path);
    return 1;
}

void JournalFile::close() {
    if (handle_ != ArchiveFile::INVALID_HANDLE)
        ::close(int(handle_));
    handle_ = ArchiveFile::INVALID_HANDLE;
    size_ = 0;
    directory_.clear();
}

int64_t JournalFile::readAt(uint64_t offset, void* buffer, size_t count) const {
    return readAtDescriptor(handle_, offset, buffer, count);
}

int JournalFile::writeAt(uint64_t offset, const void* bytes, size_t count, std::string* why) {
    return writeAtDescriptor(handle_, offset, bytes, count, &size_, why);
}

int JournalFile::setLength(uint64_t length, std::string* why) {
    return setDescriptorLength(handle_, length, &size_, why);
}

int JournalFile::sync(std::string* why) {
    countEditOperation();
    if (!syncDescriptor(int(handle_), why))
        return 0;
    if (!directory_.empty()) {
        if (!syncDirectory(directory_, why))
            return 0;
        directory_.clear();
    }
    return 1;
}

std::string journalPathFor(const std::string& archivePath) {
    // A journal beside a symbolic link would be missed by whoever opens the
    // file it points to under its own name.
    struct stat status;
    if (lstat(archivePath.c_str(), &status) == 0 && S_ISLNK(status.st_mode)) {
        if (char* resolved = realpath(archivePath.c_str(), nullptr)) {
            std::string path = std::string(resolved) + "-journal";
            std::free(resolved);
            return path;
        }
    }
    return archivePath + "-journal";
}

int removeJournalFile(const std::string& path, std::string* why) {
    if (unlink(path.c_str()) != 0)
        return errno == ENOENT ? 1 : failWith(why, errno);
    return syncDirectory(directoryOf(path), why);
}
