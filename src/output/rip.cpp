// Placeholder until ripping lands.
#include "output/rip.h"

void ripEntries() {}

int makeDirectories(const char*) {
    return 1;
}
