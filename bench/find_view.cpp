// Find by name over a million entries (limit 0.5 s), and the viewer opening a
// 1 GB entry and going to its end in both views (limit 0.1 s each).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "archive/entry.h"
#include "archive/record.h"
#include "archive/search.h"
#include "browser/viewer_layout.h"
#include "platform/archive_file.h"

namespace {

constexpr int DIRECTORIES = 1000;
constexpr int FILES_PER_DIRECTORY = 998;  // with the directory and its "...": 1000 entries each
constexpr double FIND_LIMIT_SECONDS = 0.5;
constexpr double VIEW_LIMIT_SECONDS = 0.1;
constexpr uint64_t ENTRY_SIZE = 1ull << 30;
constexpr int PAGE_ROWS = 23;

// Built in sorted order directly: the point is the search, not the inserts.
struct BigTree {
    std::vector<std::unique_ptr<Entry>> entries;
    std::vector<std::unique_ptr<EntryInfo>> infos;
    Entry* root = nullptr;

    Entry* add(Entry* parent, std::string name, int32_t kind) {
        auto info = std::make_unique<EntryInfo>();
        auto entry = std::make_unique<Entry>();
        entry->kind = kind;
        entry->name = std::move(name);
        entry->parent = parent;
        entry->info = info.get();
        if (parent)
            parent->children.push_back(entry.get());
        infos.push_back(std::move(info));
        entries.push_back(std::move(entry));
        return entries.back().get();
    }

    BigTree() {
        root = add(nullptr, "C:\\GAMES\\BIG.DIR", KIND_ROOT);
        char name[32];
        for (int d = 0; d < DIRECTORIES; ++d) {
            std::snprintf(name, sizeof name, "DIR%04d", d);
            Entry* directory = add(root, name, KIND_SUBDIR);
            add(directory, "...", KIND_UPDIR);
            for (int f = 0; f < FILES_PER_DIRECTORY; ++f) {
                std::snprintf(name, sizeof name, "FILE%05d.%s", f, f % 10 == 0 ? "WAV" : "BIN");
                add(directory, name, KIND_FILE);
            }
        }
    }
    ~BigTree() {
        for (auto& entry : entries) {
            entry->children.clear();
            entry->info = nullptr;
        }
    }
};

double slowestFind = 0;
double slowestView = 0;

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_FindByNameInAMillionEntries(benchmark::State& state, const char* mask) {
    static BigTree tree;
    size_t found = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        found = findByName(tree.root, mask).size();
        slowestFind = std::max(slowestFind, secondsSince(start));
    }
    state.counters["entries"] = double(tree.entries.size());
    state.counters["found"] = double(found);
}
BENCHMARK_CAPTURE(BM_FindByNameInAMillionEntries, every_tenth, "*.wav")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FindByNameInAMillionEntries, one, "file00500.w?v")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FindByNameInAMillionEntries, set, "*[7-9][!0].BIN")
    ->Unit(benchmark::kMillisecond);

// An archive with one 1 GB file, sparse on disk: its data reads as NUL bytes,
// one endless line for the text view (its worst case: no line feed to find).
struct HugeArchive {
    std::string directory;
    std::string path;
    HugeArchive() {
        directory = (std::filesystem::temp_directory_path() / "dirrip-view-XXXXXX").string();
        if (!mkdtemp(directory.data()))
            return;
        path = directory + "/huge.dir";
        unsigned char records[2 * DIR_RECORD_SIZE];
        DirRecord file;
        std::snprintf(file.name, sizeof file.name, "HUGE.BIN");
        file.type = TYPE_FILE;
        file.size = static_cast<uint32_t>(ENTRY_SIZE);
        file.offset = 4096;
        encodeDirRecord(file, records);
        encodeDirRecord(DirRecord{}, records + DIR_RECORD_SIZE);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<char*>(records), sizeof records);
        std::filesystem::resize_file(path, 4096 + ENTRY_SIZE);
    }
    ~HugeArchive() {
        if (!directory.empty())
            std::filesystem::remove_all(directory);
    }
};

void BM_ViewerOn1GBEntry(benchmark::State& state, ViewMode mode, bool toEnd) {
    static HugeArchive archive;
    ArchiveFile file;
    if (archive.path.empty() || !file.open(archive.path.c_str())) {
        state.SkipWithError("cannot make the 1 GB archive");
        return;
    }
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        // Everything a keypress does, from a cold viewer: set up, pick the
        // view, lay the page out.
        ViewerData data;
        initViewerData(&data, ENTRY_SIZE, file.size() - 4096,
                       [&file](uint64_t at, void* buffer, size_t count) {
                           return file.readAt(4096 + at, buffer, count);
                       });
        sniffViewMode(&data);
        uint64_t top = toEnd ? lastPageTop(&data, mode, PAGE_ROWS) : 0;
        std::vector<ViewRow> page = pageRows(&data, mode, top, PAGE_ROWS);
        std::string cells;
        for (const ViewRow& row : page) {
            if (mode == VIEW_HEX)
                cells = hexRow(&data, row.start);
            else
                textRow(&data, row.start, &cells);
        }
        benchmark::DoNotOptimize(cells);
        if (toEnd && pagePercent(data, page) != 100)
            state.SkipWithError("the end was not reached");
        slowestView = std::max(slowestView, secondsSince(start));
    }
}
BENCHMARK_CAPTURE(BM_ViewerOn1GBEntry, open_hex, VIEW_HEX, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ViewerOn1GBEntry, end_hex, VIEW_HEX, true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ViewerOn1GBEntry, open_text, VIEW_TEXT, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ViewerOn1GBEntry, end_text, VIEW_TEXT, true)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::cout << "slowest find in a million entries: " << slowestFind << " s (limit "
              << FIND_LIMIT_SECONDS << " s)\n"
              << "slowest viewer open or end on a 1 GB entry: " << slowestView << " s (limit "
              << VIEW_LIMIT_SECONDS << " s)" << std::endl;
    return slowestFind <= FIND_LIMIT_SECONDS && slowestView <= VIEW_LIMIT_SECONDS ? 0 : 1;
}
