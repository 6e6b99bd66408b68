// Feeds arbitrary bytes to the loader as an archive file and checks the tree
// it builds and what it reports. The record cap is kept small so that archives
// whose listings multiply stay within the fuzzer's memory and time limits.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "archive/load_observer.h"
#include "archive/session.h"
#include "archive/tree_check.h"

namespace {

constexpr uint32_t FUZZ_RECORD_CAP = 4096;

int archiveFile() {
    static const int fd = memfd_create("archive", 0);
    return fd;
}

// Checks that every reported listing lies within the file.
class CheckingObserver : public LoadObserver {
  public:
    explicit CheckingObserver(uint64_t size) : size_(size) {}
    void listingRead(const Entry*, uint64_t start, uint64_t end, ListingEnd how) override {
        const bool outside = start >= size_;
        if (end < start || (!outside && end > size_) || (how == LISTING_OUTSIDE) != outside) {
            std::fprintf(stderr, "listing %llu..%llu of %llu reported as %d\n",
                         static_cast<unsigned long long>(start),
                         static_cast<unsigned long long>(end),
                         static_cast<unsigned long long>(size_), static_cast<int>(how));
            std::abort();
        }
    }

  private:
    uint64_t size_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int fd = archiveFile();
    if (fd < 0 || ftruncate(fd, 0) != 0)
        std::abort();
    if (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
        std::abort();
    const std::string path = "/proc/self/fd/" + std::to_string(fd);

    // Every other input loads with an observer, so both ways are covered.
    CheckingObserver observer(size);
    ArchiveSession session;
    session.open(path.c_str(), "FUZZ.DIR", FUZZ_RECORD_CAP, size % 2 == 0 ? &observer : nullptr);
    if (session.status() == SESSION_OPEN_FAILED)
        std::abort();
    std::string fault;
    if (!treeIsConsistent(session.root(), &fault)) {
        std::fprintf(stderr, "inconsistent tree: %s\n", fault.c_str());
        std::abort();
    }
    return 0;
}
