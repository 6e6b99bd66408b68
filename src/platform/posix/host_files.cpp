#include "platform/host_files.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

int listHostDirectory(const std::string& path, std::vector<std::string>* names) {
    DIR* handle = opendir(path.c_str());
    if (handle == nullptr)
        return 0;
    names->clear();
    while (dirent* entry = readdir(handle)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            names->push_back(std::move(name));
    }
    closedir(handle);
    return 1;
}

int inspectHostPath(const std::string& path, bool followLinks, HostFileInfo* info,
                    std::string* why) {
    struct stat status;
    const int result = followLinks ? stat(path.c_str(), &status) : lstat(path.c_str(), &status);
    if (result != 0) {
        if (why != nullptr)
            *why = std::strerror(errno);
        return 0;
    }
    info->kind = S_ISREG(status.st_mode)   ? HOST_FILE
                 : S_ISDIR(status.st_mode) ? HOST_DIRECTORY
                                           : HOST_OTHER;
    info->size = S_ISREG(status.st_mode) ? uint64_t(status.st_size) : 0;
    info->volume = uint64_t(status.st_dev);
    info->file = uint64_t(status.st_ino);
    return 1;
}

bool isHostPathSeparator(char c) {
    return c == '/';
}
