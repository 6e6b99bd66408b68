#include "output/free_space.h"

#include <sys/statvfs.h>

uint64_t systemFreeSpace(const char* directory) {
    struct statvfs figures;
    if (statvfs(directory, &figures) != 0)
        return UINT64_MAX;
    return uint64_t(figures.f_bavail) * uint64_t(figures.f_frsize);
}

uint64_t (*freeSpaceQuery)(const char* directory) = systemFreeSpace;
