#include "output/confine.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int DIRECTORY_FLAGS = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Enters `name` below `parentFd`, creating it when missing. O_NOFOLLOW makes a
// symbolic link fail (ELOOP) instead of leading elsewhere; O_DIRECTORY makes a
// plain file of that name fail too.
int enterOrCreate(int parentFd, const std::string& name) {
    int fd = openat(parentFd, name.c_str(), DIRECTORY_FLAGS);
    if (fd >= 0 || errno != ENOENT)
        return fd;
    // Another process may create it between the two calls; EEXIST is fine then.
    if (mkdirat(parentFd, name.c_str(), 0777) != 0 && errno != EEXIST)
        return -1;
    return openat(parentFd, name.c_str(), DIRECTORY_FLAGS);
}

}  // namespace

int openConfinedDirectory(int baseFd, std::string_view relativeDirectory,
                          std::string* failedDirectory) {
    int fd = fcntl(baseFd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        if (failedDirectory)
            failedDirectory->clear();
        return -1;
    }
    std::string walked;
    size_t start = 0;
    while (start < relativeDirectory.size()) {
        size_t end = relativeDirectory.find('/', start);
        if (end == std::string_view::npos)
            end = relativeDirectory.size();
        std::string component(relativeDirectory.substr(start, end - start));
        start = end + 1;
        if (component.empty() || component == ".")
            continue;
        if (!walked.empty())
            walked += '/';
        walked += component;
        int next = component == ".." ? -1 : enterOrCreate(fd, component);
        close(fd);
        if (next < 0) {
            if (failedDirectory)
                *failedDirectory = walked;
            return -1;
        }
        fd = next;
    }
    return fd;
}
