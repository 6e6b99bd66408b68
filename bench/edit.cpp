// What planning a change costs on a big archive, against loading it once:
// one flat directory of 1,000,000 one-byte files, laid out as --create
// writes it. Planning reads the listings once; the check before a plan is
// handed on loads the archive twice more (as it is, and as the plan leaves
// it), so the check should cost about two loads and planning about one.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "archive/edit_planner.h"
#include "archive/edit_verify.h"
#include "archive/entry.h"
#include "archive/loader.h"
#include "archive/writer.h"

namespace {

// The archive in memory, read through the same interface as a file.
class MemoryArchive : public ByteSource {
  public:
    explicit MemoryArchive(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    uint64_t size() const override { return bytes_.size(); }
    int64_t readAt(uint64_t offset, void* buffer, size_t count) const override {
        if (offset >= bytes_.size())
            return 0;
        const size_t got = static_cast<size_t>(std::min<uint64_t>(count, bytes_.size() - offset));
        std::copy_n(bytes_.data() + offset, got, static_cast<uint8_t*>(buffer));
        return static_cast<int64_t>(got);
    }

  private:
    std::vector<uint8_t> bytes_;
};

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string fileName(size_t i) {
    char name[32];
    std::snprintf(name, sizeof name, "FILE%07zu.BIN", i);
    return name;
}

EditRequest replacing(size_t i) {
    EditRequest request;
    request.operation = EDIT_REPLACE;
    request.path = fileName(i);
    request.source = EDIT_SOURCE_BYTES;
    request.bytes.assign(2, 'x');  // bigger than before: not in place
    return request;
}

struct Timing {
    double plan = 0;
    double check = 0;
};

Timing timePlan(const ByteSource& archive, const std::vector<EditRequest>& requests) {
    Timing timing;
    auto start = std::chrono::steady_clock::now();
    EditPlanner planner;
    std::string why;
    bool done = planner.start(archive, &why) != 0;
    for (size_t i = 0; done && i < requests.size(); ++i)
        done = planner.apply(requests[i], requests.data() + i + 1, requests.size() - i - 1, &why);
    EditPlan plan;
    if (done)
        planner.finish(&plan);
    timing.plan = secondsSince(start);
    start = std::chrono::steady_clock::now();
    if (!done || !verifyEditPlan(archive, plan, planner.expected(), &why)) {
        std::fprintf(stderr, "bench_edit: planning failed: %s\n", why.c_str());
        std::exit(1);
    }
    timing.check = secondsSince(start);
    return timing;
}

}  // namespace

int main() {
    constexpr size_t FILES = 1000000;
    std::vector<ArchiveNode> files;
    files.reserve(FILES);
    for (size_t i = 0; i < FILES; ++i) files.push_back(archiveFile(fileName(i), "d"));
    std::vector<uint8_t> bytes;
    std::string why;
    if (!writeArchiveBytes(archiveDirectory("", std::move(files)), &bytes, &why)) {
        std::fprintf(stderr, "bench_edit: %s\n", why.c_str());
        return 1;
    }
    const MemoryArchive archive(std::move(bytes));
    releaseInfoHook = releaseEntryInfo;

    double load = 1e9;
    for (int round = 0; round < 3; ++round) {
        Entry root;
        root.info = new EntryInfo;
        const auto start = std::chrono::steady_clock::now();
        loadArchiveFrom(archive, &root, LOAD_ENTRY_CAP);
        load = std::min(load, secondsSince(start));
        destroyDescendants(&root);
    }
    std::vector<EditRequest> one{replacing(FILES / 2)};
    std::vector<EditRequest> thousand;
    for (size_t i = 0; i < 1000; ++i) thousand.push_back(replacing(i * 997 % FILES));
    const Timing single = timePlan(archive, one);
    const Timing many = timePlan(archive, thousand);
    std::printf("Planning changes to an archive of %zu files (%.1f MB of listings)\n", FILES,
                (FILES + 1) * 44 / 1e6);
    std::printf("  one load:                          %8.3f s\n", load);
    std::printf("  replace 1 file:     plan %8.3f s  (%.2f loads), check %8.3f s  (%.2f loads)\n",
                single.plan, single.plan / load, single.check, single.check / load);
    std::printf("  replace 1000 files: plan %8.3f s  (%.2f loads), check %8.3f s  (%.2f loads)\n",
                many.plan, many.plan / load, many.check, many.check / load);
    return 0;
}
