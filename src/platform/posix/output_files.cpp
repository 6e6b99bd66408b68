#include "platform/output_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/posix/write_all.h"
#include "platform/signals.h"
#include "text/cause.h"

namespace {

constexpr int DIRECTORY_FLAGS = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
// Room left for the prefix and suffix of a temporary name within NAME_MAX.
constexpr size_t TEMPORARY_STEM = 200;
// The permission bits a replaced file passes on; set-id and sticky bits are
// not, so that new contents never run with a privilege the old ones had.
constexpr mode_t PERMISSION_BITS = 0777;
constexpr mode_t WRITE_BITS = 0222;

int fail(int* error, int code) {
    if (error != nullptr)
        *error = code;
    return 0;
}

// Creates `path` and its missing parents; the last component must end up a directory.
bool makeDirectoryChain(const std::string& path) {
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos)
            slash = path.size();
        std::string prefix = path.substr(0, slash);
        if (!prefix.empty() && mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
        start = slash + 1;
    }
    return true;
}

}  // namespace

OutputDirectory openOutputDirectory(const char* path, bool create, int* error) {
    if (create && !makeDirectoryChain(path)) {
        fail(error, errno);
        return NO_OUTPUT_DIRECTORY;
    }
    int fd = open(path, DIRECTORY_FLAGS);
    if (fd < 0) {
        fail(error, errno);
        return NO_OUTPUT_DIRECTORY;
    }
    return fd;
}

OutputDirectory openOutputSubdirectory(OutputDirectory parent, const char* name, int* error) {
    // O_NOFOLLOW makes a symbolic link fail instead of leading elsewhere;
    // O_DIRECTORY makes anything but a directory fail.
    const int flags = DIRECTORY_FLAGS | O_NOFOLLOW;
    int fd = openat(int(parent), name, flags);
    if (fd < 0 && errno == ENOENT) {
        // Another process may create it between the two calls; EEXIST is fine then.
        if (mkdirat(int(parent), name, 0777) != 0 && errno != EEXIST) {
            fail(error, errno);
            return NO_OUTPUT_DIRECTORY;
        }
        fd = openat(int(parent), name, flags);
    }
    if (fd >= 0)
        return fd;
    int code = errno;
    // Name the thing in the way rather than the system's generic words for it.
    OutputNameKind kind = outputNameKind(parent, name);
    if (kind == OUTPUT_NAME_SYMLINK)
        code = OUTPUT_ERROR_SYMLINK;
    else if (kind == OUTPUT_NAME_SPECIAL)
        code = OUTPUT_ERROR_SPECIAL_FILE;
    else if (kind == OUTPUT_NAME_FILE || kind == OUTPUT_NAME_READ_ONLY)
        code = ENOTDIR;
    fail(error, code);
    return NO_OUTPUT_DIRECTORY;
}

void closeOutputDirectory(OutputDirectory directory) {
    if (directory != NO_OUTPUT_DIRECTORY)
        close(int(directory));
}

OutputNameKind outputNameKind(OutputDirectory directory, const char* name) {
    struct stat status;
    if (fstatat(int(directory), name, &status, AT_SYMLINK_NOFOLLOW) != 0)
        return OUTPUT_NAME_FREE;
    // Read-only by its bits alone, so that it holds for root as well, who
    // could write it anyway.
    if (S_ISREG(status.st_mode))
        return (status.st_mode & WRITE_BITS) == 0 ? OUTPUT_NAME_READ_ONLY : OUTPUT_NAME_FILE;
    if (S_ISDIR(status.st_mode))
        return OUTPUT_NAME_DIRECTORY;
    if (S_ISLNK(status.st_mode))
        return OUTPUT_NAME_SYMLINK;
    return OUTPUT_NAME_SPECIAL;
}

uint64_t outputFreeSpace(OutputDirectory directory) {
    struct statvfs figures;
    if (fstatvfs(int(directory), &figures) != 0)
        return UINT64_MAX;
    return uint64_t(figures.f_bavail) * uint64_t(figures.f_frsize);
}

int createOutputFile(OutputDirectory directory, const char* finalName, OutputFile* file,
                     int* error) {
    static std::atomic<unsigned> counter{0};
    std::string stem(finalName);
    if (stem.size() > TEMPORARY_STEM)
        stem.resize(TEMPORARY_STEM);
    for (;;) {
        // A leading dot keeps the unfinished file out of plain listings; the
        // process id and a counter keep two runs in one directory apart.
        std::string name =
            "." + stem + ".part-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
        // Registered before it exists, so that no interrupt can fall between
        // making the file and knowing to remove it.
        const int slot = addPendingRemoval(directory, name.c_str());
        int fd = openat(int(directory), name.c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            file->handle = fd;
            file->directory = directory;
            file->temporaryName = name;
            file->pendingSlot = slot;
            return 1;
        }
        const int code = errno;
        clearPendingRemoval(slot);
        if (code != EEXIST)
            return fail(error, code);
    }
}

int writeOutputFile(OutputFile* file, const void* bytes, size_t count, int* error) {
    if (!writeAll(int(file->handle), static_cast<const char*>(bytes), count))
        return fail(error, errno);
    return 1;
}

int64_t copyIntoOutputFile(OutputFile* file, intptr_t archiveHandle, uint64_t offset, size_t count,
                           int* error) {
    for (;;) {
        off_t from = off_t(offset);
        ssize_t copied =
            copy_file_range(int(archiveHandle), &from, int(file->handle), nullptr, count, 0);
        if (copied > 0)
            return copied;
        if (copied == 0)
            return 0;  // the archive ends here; the buffer copy tells why
        if (errno == EINTR)
            continue;
        // File systems or kernels that cannot copy so: the buffer takes over.
        if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
            errno == EBADF)
            return 0;
        fail(error, errno);
        return -1;
    }
}

int commitOutputFile(OutputFile* file, const char* finalName, int* error) {
    int code = 0;
    // The file being replaced decides: a read-only one stays, as it would
    // for cp; a writable one passes its permission bits on, so replacing it
    // changes its contents only. Looked at again here, just before the
    // rename: the copy may have taken minutes since the first look. File
    // systems without permission bits (FAT) refuse the change; the contents
    // matter more, so that is no failure.
    struct stat replaced;
    if (fstatat(int(file->directory), finalName, &replaced, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(replaced.st_mode)) {
        if ((replaced.st_mode & WRITE_BITS) == 0)
            code = OUTPUT_ERROR_READ_ONLY;
        else
            (void)fchmod(int(file->handle), replaced.st_mode & PERMISSION_BITS);
    }
    // Some file systems (network, quota) report a failed write only at close.
    if (close(int(file->handle)) != 0 && code == 0)
        code = errno;
    file->handle = -1;
    if (code == 0 && renameat(int(file->directory), file->temporaryName.c_str(),
                              int(file->directory), finalName) != 0)
        code = errno;
    if (code == 0) {
        file->temporaryName.clear();
        clearPendingRemoval(file->pendingSlot);
        file->pendingSlot = -1;
        return 1;
    }
    discardOutputFile(file);
    return fail(error, code);
}

void discardOutputFile(OutputFile* file) {
    if (file->handle >= 0)
        close(int(file->handle));
    file->handle = -1;
    if (!file->temporaryName.empty())
        unlinkat(int(file->directory), file->temporaryName.c_str(), 0);
    file->temporaryName.clear();
    clearPendingRemoval(file->pendingSlot);
    file->pendingSlot = -1;
}

std::string outputErrorText(int error) {
    switch (error) {
        case OUTPUT_ERROR_SPECIAL_FILE:
            return "a special file (FIFO, device or socket) is in the way";
        case OUTPUT_ERROR_SYMLINK:
        case ELOOP:
            return "a symbolic link is in the way";
        case OUTPUT_ERROR_SHORT_READ:
            return "the archive ends before the file's data";
        case ENOTDIR:
            return "a file is in the way";
        case EISDIR:
        case OUTPUT_ERROR_DIRECTORY:
            return "a directory is in the way";
        case OUTPUT_ERROR_READ_ONLY:
            return "a read-only file is in the way";
        case EACCES:
        case EPERM:
            return "permission denied";
        case ENOSPC:
        case EDQUOT:
            return "no space left on the device";
        case EROFS:
            return "the file system is read-only";
        case ENAMETOOLONG:
            return "the name is too long";
        case EMFILE:
        case ENFILE:
            return "too many open files";
        default:
            return asCause(std::strerror(error));
    }
}

std::string currentDirectoryPath() {
    char path[PATH_MAX];
    return getcwd(path, sizeof path) != nullptr ? std::string(path) : std::string(".");
}

bool outputPathsHaveRoots() {
    return false;
}
