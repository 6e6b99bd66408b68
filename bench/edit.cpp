// What planning a change costs on a big archive, measured against loading it
// once. Planning reads the listings once; the check before a plan is handed
// on loads the archive twice more (as it is, and as the plan leaves it), so
// planning and check together should cost about three loads.
//
// Archives: one flat directory of 1,000,000 one-byte files laid out as
// --create writes it; the same in shuffled order with names in mixed case and
// 1% of them hidden behind an earlier record of the same name (the loader's
// slow path); and 50 directories of 100 files (the everyday case).
//
// Times are processor time (the machine may be busy), with wall time beside,
// each the best of five runs.
// A fresh process also plans once on the flat archive read from a file, as
// the command line does: its time and peak resident memory per entry, beside
// a fresh process that only loads and one that only plans (no check).
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "archive/edit_planner.h"
#include "archive/edit_verify.h"
#include "archive/editor.h"
#include "archive/entry.h"
#include "archive/loader.h"
#include "archive/record.h"
#include "archive/writer.h"
#include "platform/archive_file.h"

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
    const std::vector<uint8_t>& bytes() const { return bytes_; }

  private:
    std::vector<uint8_t> bytes_;
};

// Processor and wall time since the clock was made.
struct Clock {
    double cpuStart = cpuNow();
    std::chrono::steady_clock::time_point wallStart = std::chrono::steady_clock::now();
    static double cpuNow() {
        timespec now;
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
    }
    double cpu() const { return cpuNow() - cpuStart; }
    double wall() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    }
};

struct Cost {
    double cpu = 0;
    double wall = 0;
};

constexpr size_t FLAT_FILES = 1000000;
constexpr int ROUNDS = 5;  // each time is the best of this many runs

std::string fileName(size_t i) {
    char name[32];
    std::snprintf(name, sizeof name, "FILE%07zu.BIN", i);
    return name;
}

std::vector<uint8_t> flatArchive() {
    std::vector<ArchiveNode> files;
    files.reserve(FLAT_FILES);
    for (size_t i = 0; i < FLAT_FILES; ++i) files.push_back(archiveFile(fileName(i), "d"));
    std::vector<uint8_t> bytes;
    std::string why;
    if (!writeArchiveBytes(archiveDirectory("", std::move(files)), &bytes, &why)) {
        std::fprintf(stderr, "bench_edit: %s\n", why.c_str());
        std::exit(1);
    }
    return bytes;
}

// The flat archive's names in shuffled order, in mixed case, every hundredth
// record repeating an earlier name in other letters (the loader drops it).
std::vector<uint8_t> shuffledArchive() {
    std::vector<size_t> order(FLAT_FILES);
    for (size_t i = 0; i < FLAT_FILES; ++i) order[i] = i;
    std::mt19937 random(7);
    std::shuffle(order.begin(), order.end(), random);
    const uint64_t dataStart = (FLAT_FILES + 1) * DIR_RECORD_SIZE;
    std::vector<uint8_t> bytes(dataStart + FLAT_FILES, 'd');
    for (size_t i = 0; i < FLAT_FILES; ++i) {
        DirRecord record;
        std::string name = fileName(i % 100 == 99 ? order[i - 1] : order[i]);
        for (size_t k = 0; k < name.size(); ++k) {
            if ((i + k) % 3 == 0)
                name[k] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[k])));
        }
        std::memcpy(record.name, name.data(), name.size());
        record.type = TYPE_FILE;
        record.size = 1;
        record.offset = static_cast<uint32_t>(dataStart + i);
        encodeDirRecord(record, bytes.data() + i * DIR_RECORD_SIZE);
    }
    encodeDirRecord(DirRecord{}, bytes.data() + FLAT_FILES * DIR_RECORD_SIZE);
    return bytes;
}

std::vector<uint8_t> everydayArchive() {
    std::vector<ArchiveNode> directories;
    for (int d = 0; d < 50; ++d) {
        std::vector<ArchiveNode> files;
        for (int f = 0; f < 100; ++f)
            files.push_back(archiveFile("F" + std::to_string(f) + ".DAT", std::string(100, 'x')));
        directories.push_back(archiveDirectory("DIR" + std::to_string(d), std::move(files)));
    }
    std::vector<uint8_t> bytes;
    std::string why;
    writeArchiveBytes(archiveDirectory("", std::move(directories)), &bytes, &why);
    return bytes;
}

EditRequest replacing(std::string path) {
    EditRequest request;
    request.operation = EDIT_REPLACE;
    request.path = std::move(path);
    request.source = EDIT_SOURCE_BYTES;
    request.bytes.assign(2, 'x');  // bigger than before: not in place
    return request;
}

std::vector<EditRequest> flatReplaces(size_t count) {
    std::vector<EditRequest> requests;
    for (size_t i = 0; i < count; ++i)
        requests.push_back(replacing(fileName(count == 1 ? FLAT_FILES / 2 : i * 997 % FLAT_FILES)));
    return requests;
}

Cost loadCost(const ByteSource& archive) {
    Cost best{1e9, 1e9};
    for (int round = 0; round < ROUNDS; ++round) {
        Entry root;
        root.info = new EntryInfo;
        const Clock clock;
        loadArchiveFrom(archive, &root, LOAD_ENTRY_CAP);
        best.cpu = std::min(best.cpu, clock.cpu());
        best.wall = std::min(best.wall, clock.wall());
        destroyDescendants(&root);
    }
    return best;
}

// Plans as planArchiveEdit does, timing the planning (up to the planner's
// end) apart from the check.
void planCost(const ByteSource& archive, const std::vector<EditRequest>& requests, Cost* plan,
              Cost* check) {
    const Clock planClock;
    auto planner = std::make_unique<EditPlanner>();
    std::string why;
    bool done = planner->start(archive, &why) != 0;
    for (size_t i = 0; done && i < requests.size(); ++i)
        done = planner->apply(requests[i], requests.data() + i + 1, requests.size() - i - 1, &why);
    EditPlan made;
    if (done)
        planner->finish(&made);
    const std::vector<ExpectedChange> expected = planner->expected();
    planner.reset();
    *plan = {planClock.cpu(), planClock.wall()};
    const Clock checkClock;
    if (!done || !verifyEditPlan(archive, made, expected, &why)) {
        std::fprintf(stderr, "bench_edit: planning failed: %s\n", why.c_str());
        std::exit(1);
    }
    *check = {checkClock.cpu(), checkClock.wall()};
}

void report(const char* label, const ByteSource& archive,
            const std::vector<std::vector<EditRequest>>& cases) {
    const Cost load = loadCost(archive);
    std::printf("%s: one load %.1f ms (wall %.1f ms)\n", label, load.cpu * 1e3, load.wall * 1e3);
    for (const std::vector<EditRequest>& requests : cases) {
        Cost plan{1e9, 1e9}, check{1e9, 1e9};
        for (int round = 0; round < ROUNDS; ++round) {
            Cost planOnce, checkOnce;
            planCost(archive, requests, &planOnce, &checkOnce);
            plan = {std::min(plan.cpu, planOnce.cpu), std::min(plan.wall, planOnce.wall)};
            check = {std::min(check.cpu, checkOnce.cpu), std::min(check.wall, checkOnce.wall)};
        }
        std::printf(
            "  replace %4zu: plan %7.1f ms, check %7.1f ms: %5.2f + %5.2f = %5.2f loads"
            " (wall %5.2f)\n",
            requests.size(), plan.cpu * 1e3, check.cpu * 1e3, plan.cpu / load.cpu,
            check.cpu / load.cpu, (plan.cpu + check.cpu) / load.cpu,
            (plan.wall + check.wall) / load.wall);
    }
}

// In a fresh process: loads the archive at `path` once, or plans `mode`
// replaces on it, and prints the peak resident memory (KiB) and the times.
int coldRun(const char* path, const std::string& mode) {
    ArchiveFile file;
    if (!file.open(path))
        return 1;
    const Clock clock;
    if (mode == "load") {
        Entry root;
        root.info = new EntryInfo;
        releaseInfoHook = releaseEntryInfo;
        loadArchiveFrom(file, &root, LOAD_ENTRY_CAP);
    } else if (mode == "model") {
        // The planner's own reading and one change, without the check.
        EditPlanner planner;
        std::string why;
        const std::vector<EditRequest> requests = flatReplaces(1);
        EditPlan plan;
        if (!planner.start(file, &why) || !planner.apply(requests[0], nullptr, 0, &why))
            return 1;
        planner.finish(&plan);
    } else {
        EditPlan plan;
        std::string why;
        if (!planArchiveEdit(file, flatReplaces(std::stoul(mode)), &plan, &why)) {
            std::fprintf(stderr, "bench_edit: %s\n", why.c_str());
            return 1;
        }
    }
    const double cpu = clock.cpu();
    const double wall = clock.wall();
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%ld %f %f\n", usage.ru_maxrss, cpu, wall);
    return 0;
}

struct ColdFigures {
    double kilobytes = 0;
    double cpu = 0;
    double wall = 0;
};

ColdFigures cold(const char* self, const std::string& path, const char* mode) {
    const std::string command = std::string("'") + self + "' --cold '" + path + "' " + mode;
    ColdFigures figures;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr ||
        std::fscanf(pipe, "%lf %lf %lf", &figures.kilobytes, &figures.cpu, &figures.wall) != 3)
        std::fprintf(stderr, "bench_edit: the fresh process failed\n");
    if (pipe != nullptr)
        pclose(pipe);
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--cold")
        return coldRun(argv[2], argv[3]);
    releaseInfoHook = releaseEntryInfo;
    std::printf("Planning replaces, against one load of the same archive (processor time)\n");
    {
        const MemoryArchive everyday(everydayArchive());
        std::vector<EditRequest> one{replacing("DIR7/F42.DAT")};
        std::vector<EditRequest> all;
        for (int d = 0; d < 50; ++d)
            for (int f = 0; f < 100; f += 5)
                all.push_back(
                    replacing("DIR" + std::to_string(d) + "/F" + std::to_string(f) + ".DAT"));
        report("50 directories of 100 files", everyday, {one, all});
    }
    const MemoryArchive flat(flatArchive());
    report("1,000,000 files in one directory", flat, {flatReplaces(1), flatReplaces(1000)});
    {
        const MemoryArchive shuffled(shuffledArchive());
        std::vector<EditRequest> one{replacing("file0500000.bin")};
        report("the same shuffled, mixed case, 1% hidden", shuffled, {one});
    }

    const std::string path = (std::filesystem::temp_directory_path() /
                              ("bench_edit_" + std::to_string(getpid()) + ".dir"))
                                 .string();
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(flat.bytes().data()),
                  static_cast<std::streamsize>(flat.bytes().size()));
    }
    const ColdFigures load = cold(argv[0], path, "load");
    const ColdFigures model = cold(argv[0], path, "model");
    const ColdFigures one = cold(argv[0], path, "1");
    const ColdFigures thousand = cold(argv[0], path, "1000");
    std::filesystem::remove(path);
    const double entries = FLAT_FILES + 1;
    std::printf("\nA fresh process on the 1,000,000-file archive read from a file:\n");
    std::printf("  %-22s %9s %9s %9s %14s\n", "", "cpu ms", "wall ms", "x load",
                "peak bytes/entry");
    for (const auto& [label, figures] :
         {std::pair{"load only", load}, std::pair{"plan 1, no check", model},
          std::pair{"plan+check 1", one}, std::pair{"plan+check 1000", thousand}}) {
        std::printf("  %-22s %9.1f %9.1f %9.2f %14.1f\n", label, figures.cpu * 1e3,
                    figures.wall * 1e3, figures.cpu / load.cpu, figures.kilobytes * 1024 / entries);
    }
    return 0;
}
