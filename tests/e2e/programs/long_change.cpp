// Applies one long change to the archive given, through the same code the
// change modes use, for the tests that stop a change part way
// (DIRRIP_TEST_STOP_AFTER_WRITES): 100 blocks of new data after the end,
// then 50 patches over 2,200 bytes from offset 512 (inside the data of a
// large first file, so that the archive still loads). Exit status 0 when
// applied, 1 (with the reason on standard error) when refused.
#include <cstdio>

#include "archive/change.h"
#include "platform/host_files.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: long_change ARCHIVE\n");
        return 2;
    }
    HostFileInfo archive;
    if (!inspectHostPath(argv[1], true, &archive) || archive.size < 512 + 50 * 44) {
        std::fprintf(stderr, "long_change: no archive of at least 2712 bytes\n");
        return 1;
    }
    EditPlan plan;
    plan.description = "a long change";
    plan.oldLength = archive.size;
    for (uint64_t i = 0; i < 100; ++i) {
        EditWrite write;
        write.offset = archive.size + i * 4096;
        write.length = 4096;
        write.bytes.assign(4096, uint8_t(i));
        plan.writes.push_back(write);
    }
    for (uint64_t i = 0; i < 50; ++i) {
        EditWrite write;
        write.offset = 512 + i * 44;
        write.length = 44;
        write.phase = EDIT_PHASE_PATCH;
        write.bytes.assign(44, uint8_t(0xA0 + i));
        plan.writes.push_back(write);
    }
    plan.newLength = archive.size + 100 * 4096;
    ChangeReport report;
    if (!applyArchivePlan(argv[1], plan, ChangeOptions{}, &report)) {
        std::fprintf(stderr, "long_change: %s\n", report.why.c_str());
        return 1;
    }
    return 0;
}
