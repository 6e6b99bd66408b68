// The free space that decides whether a file may be ripped.
#pragma once

#include <cstdint>

// Bytes available to this program on the file system holding `directory`
// (statvfs: available blocks times fragment size, in 64 bits). When the figure
// cannot be had it is UINT64_MAX, so that the checked writes decide instead.
uint64_t systemFreeSpace(const char* directory);

// The query ripping uses; systemFreeSpace unless a test puts in its own figure.
extern uint64_t (*freeSpaceQuery)(const char* directory);
