// Loading time and memory for big archives: flat directories of 100,000 and
// 1,000,000 files with records in sorted, reverse and random order, 1,000
// directories of 1,000 files, and a chain of directories 10,000 deep.
//
// After the benchmark table a summary shows the time per entry at 1,000,000
// against 100,000 entries (a linear loader keeps the ratio near 1), and for
// each archive the first load in a fresh process (which must also get all its
// memory from the kernel) with that process's peak resident memory per entry.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "archive/session.h"
#include "archive/walk.h"
#include "archive/writer.h"

namespace {

struct Archive {
    std::string label;
    std::string path;
    size_t entries = 0;         // entries the load makes, "..." included
    double bestNsPerEntry = 0;  // fastest load seen, processor time
    double bestWallNsPerEntry = 0;
};

std::vector<Archive> archives;

// Entries below the root, "..." entries included.
size_t countEntries(const Entry* root) {
    size_t count = 0;
    for (TreeWalk walk(root, WALK_WITHOUT_PATHS); walk.next();) {
        if (walk.step() == WALK_ENTER)
            count += walk.entry()->children.size();
    }
    return count;
}

struct LoadTime {
    double wall = 0;  // seconds
    double cpu = 0;   // seconds of this process's processor time
};

double cpuSeconds() {
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Opens and loads `path` in a fresh session and says how long that took (the
// teardown afterwards is not timed).
LoadTime loadOnce(const std::string& path, size_t* entries) {
    ArchiveSession session;
    const double cpuStart = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const int loaded = session.open(path.c_str(), path);
    const auto stop = std::chrono::steady_clock::now();
    const double cpuStop = cpuSeconds();
    if (loaded != 1) {
        std::fprintf(stderr, "bench_load: cannot load %s\n", path.c_str());
        std::exit(1);
    }
    if (entries != nullptr)
        *entries = countEntries(session.root());
    return {std::chrono::duration<double>(stop - start).count(), cpuStop - cpuStart};
}

std::string fileName(size_t i) {
    char name[32];
    std::snprintf(name, sizeof name, "F%07zu.BIN", i % 10000000);
    return name;
}

void write(const ArchiveNode& root, const std::string& path) {
    std::string error;
    if (writeArchiveFile(root, path, &error) == 0) {
        std::fprintf(stderr, "bench_load: %s\n", error.c_str());
        std::exit(1);
    }
}

void makeFlat(const std::string& dir, size_t count, const char* order) {
    ArchiveNode root = archiveDirectory("");
    root.children.reserve(count);
    for (size_t i = 0; i < count; ++i) root.children.push_back(archiveFile(fileName(i), ""));
    if (std::string(order) == "reverse")
        std::reverse(root.children.begin(), root.children.end());
    if (std::string(order) == "random") {
        std::shuffle(root.children.begin(), root.children.end(), std::mt19937(42));
    }
    const std::string label = "flat " + std::to_string(count) + " " + order;
    archives.push_back({label, dir + "/flat-" + std::to_string(count) + "-" + order + ".dir"});
    write(root, archives.back().path);
}

void makeGrid(const std::string& dir) {
    ArchiveNode root = archiveDirectory("");
    for (int d = 0; d < 1000; ++d) {
        char name[32];
        std::snprintf(name, sizeof name, "D%04d", d);
        ArchiveNode directory = archiveDirectory(name);
        for (size_t f = 0; f < 1000; ++f)
            directory.children.push_back(archiveFile(fileName(f), ""));
        root.children.push_back(std::move(directory));
    }
    archives.push_back({"1000 dirs x 1000 files", dir + "/grid.dir"});
    write(root, archives.back().path);
}

void makeChain(const std::string& dir) {
    ArchiveNode root = archiveDirectory("");
    ArchiveNode* directory = &root;
    for (int depth = 0; depth < 10000; ++depth) {
        directory->children.push_back(archiveDirectory("D"));
        directory = &directory->children.back();
    }
    directory->children.push_back(archiveFile("LEAF.BIN", ""));
    archives.push_back({"chain 10000 deep", dir + "/chain.dir"});
    write(root, archives.back().path);
    while (!root.children.empty()) {  // free without deep recursion
        ArchiveNode inner = std::move(root.children.back());
        root.children = std::move(inner.children);
    }
}

void keepBest(double* best, double value) {
    if (*best == 0 || value < *best)
        *best = value;
}

void benchLoad(benchmark::State& state, Archive* archive) {
    for (auto _ : state) {
        size_t entries = 0;
        const LoadTime time = loadOnce(archive->path, &entries);
        state.SetIterationTime(time.wall);
        archive->entries = entries;
        keepBest(&archive->bestNsPerEntry, time.cpu * 1e9 / static_cast<double>(entries));
        keepBest(&archive->bestWallNsPerEntry, time.wall * 1e9 / static_cast<double>(entries));
    }
    state.counters["entries"] = static_cast<double>(archive->entries);
    state.counters["cpu_ns_per_entry"] = archive->bestNsPerEntry;
    state.counters["wall_ns_per_entry"] = archive->bestWallNsPerEntry;
}

// What a fresh process that loads the archive once measures: the cold load
// (all memory new to the process) and the peak resident memory.
struct ColdLoad {
    double wallMs = -1;
    double bytesPerEntry = -1;
};

ColdLoad coldLoad(const std::string& self, const Archive& archive) {
    const std::string command = "'" + self + "' --peak-memory '" + archive.path + "'";
    std::FILE* pipe = popen(command.c_str(), "r");
    ColdLoad result;
    long kilobytes = 0;
    size_t entries = 0;
    double wallMs = 0;
    if (pipe != nullptr && std::fscanf(pipe, "%ld %zu %lf", &kilobytes, &entries, &wallMs) == 3) {
        result.wallMs = wallMs;
        result.bytesPerEntry =
            static_cast<double>(kilobytes) * 1024.0 / static_cast<double>(entries);
    }
    if (pipe != nullptr)
        pclose(pipe);
    return result;
}

const Archive* find(const std::string& label) {
    for (const Archive& archive : archives) {
        if (archive.label == label)
            return &archive;
    }
    return nullptr;
}

void printSummary(const std::string& self) {
    std::printf(
        "\nProcessor time per entry, 1,000,000 against 100,000 entries (best run of each;\n"
        "processor time, since other work on the machine inflates wall time):\n");
    std::printf("  %-8s %14s %14s %8s\n", "order", "ns/entry 100k", "ns/entry 1M", "ratio");
    for (const char* order : {"sorted", "reverse", "random"}) {
        const Archive* small = find(std::string("flat 100000 ") + order);
        const Archive* large = find(std::string("flat 1000000 ") + order);
        if (small == nullptr || large == nullptr || small->bestNsPerEntry == 0)
            continue;
        std::printf("  %-8s %14.1f %14.1f %8.2f\n", order, small->bestNsPerEntry,
                    large->bestNsPerEntry, large->bestNsPerEntry / small->bestNsPerEntry);
    }
    std::printf(
        "\nLoad times (best run in this process, and the first load of a fresh process) and\n"
        "peak resident memory of that fresh process per entry:\n");
    std::printf("  %-24s %9s %9s %9s %10s %12s\n", "archive", "entries", "cpu ms", "wall ms",
                "cold ms", "bytes/entry");
    for (const Archive& archive : archives) {
        if (archive.entries == 0)
            continue;
        const double entries = static_cast<double>(archive.entries);
        const ColdLoad cold = coldLoad(self, archive);
        std::printf("  %-24s %9zu %9.1f %9.1f %10.1f %12.1f\n", archive.label.c_str(),
                    archive.entries, archive.bestNsPerEntry * entries / 1e6,
                    archive.bestWallNsPerEntry * entries / 1e6, cold.wallMs, cold.bytesPerEntry);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--peak-memory") {
        size_t entries = 0;
        const LoadTime time = loadOnce(argv[2], &entries);
        struct rusage usage;
        getrusage(RUSAGE_SELF, &usage);
        std::printf("%ld %zu %.1f\n", usage.ru_maxrss, entries, time.wall * 1e3);
        return 0;
    }
    if (argc == 3 && std::string(argv[1]) == "--time") {
        LoadTime best;
        size_t entries = 0;
        for (int run = 0; run < 5; ++run) {
            const LoadTime time = loadOnce(argv[2], &entries);
            if (run == 0 || time.cpu < best.cpu)
                best.cpu = time.cpu;
            if (run == 0 || time.wall < best.wall)
                best.wall = time.wall;
        }
        std::printf("%zu entries, best load %.1f ms cpu (%.1f ns per entry), %.1f ms wall\n",
                    entries, best.cpu * 1e3, best.cpu * 1e9 / static_cast<double>(entries),
                    best.wall * 1e3);
        return 0;
    }
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return 1;
    self[length] = '\0';

    const char* base = std::getenv("TMPDIR");
    std::string dir =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/dirrip-bench-XXXXXX";
    if (mkdtemp(dir.data()) == nullptr)
        return 1;
    archives.reserve(16);
    for (size_t count : {size_t{100000}, size_t{1000000}}) {
        for (const char* order : {"sorted", "reverse", "random"}) makeFlat(dir, count, order);
    }
    makeGrid(dir);
    makeChain(dir);

    for (Archive& archive : archives) {
        const int iterations = archive.label.find("1000000") != std::string::npos ||
                                       archive.label.find("1000 dirs") != std::string::npos
                                   ? 5
                                   : 20;
        benchmark::RegisterBenchmark(("load/" + archive.label).c_str(), benchLoad, &archive)
            ->UseManualTime()
            ->Iterations(iterations)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printSummary(self);
    std::filesystem::remove_all(dir);
    return 0;
}
