// Feeds arbitrary bytes to the loader as an archive file and checks the tree
// it builds. The record cap is kept small so that archives whose listings
// multiply stay within the fuzzer's memory and time limits.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "archive/entry.h"
#include "archive/loader.h"
#include "archive/tree_check.h"

namespace {

constexpr uint32_t FUZZ_RECORD_CAP = 20000;

int archiveFile() {
    static const int fd = memfd_create("archive", 0);
    return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int fd = archiveFile();
    if (fd < 0 || ftruncate(fd, 0) != 0)
        std::abort();
    if (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
        std::abort();
    const std::string path = "/proc/self/fd/" + std::to_string(fd);

    releaseInfoHook = releaseEntryInfo;
    Entry root;
    root.info = new EntryInfo;
    if (loadArchiveLimited(path.c_str(), &root, FUZZ_RECORD_CAP) != 1)
        std::abort();
    std::string fault;
    if (!treeIsConsistent(&root, &fault)) {
        std::fprintf(stderr, "inconsistent tree: %s\n", fault.c_str());
        std::abort();
    }
    destroyDescendants(&root);
    return 0;
}
