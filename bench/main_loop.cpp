// One pass of the main loop, from key to flushed frame, in a small and in a
// huge directory: nothing in a pass may grow with the directory's size.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include "archive/entry.h"
#include "browser/mainloop.h"
#include "browser/panels.h"
#include "browser/state.h"
#include "console/memory_console.h"
#include "console/screen.h"

namespace {

// A root with `count` files, built directly in listing order (adding them one
// by one would test the tree, not the loop).
Entry* makeDirectory(int count) {
    Entry* root = new Entry;
    root->kind = KIND_ROOT;
    root->name = "BENCH.DIR";
    root->info = new EntryInfo{};
    root->children.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        Entry* file = new Entry;
        char name[32];
        std::snprintf(name, sizeof name, "F%07d.BIN", i);
        file->kind = KIND_FILE;
        file->name = name;
        file->parent = root;
        file->size = static_cast<uint32_t>(i);
        file->info = new EntryInfo{};
        file->info->offset = static_cast<uint32_t>(i) * 64;
        root->children.push_back(file);
    }
    return root;
}

void destroyDirectory(Entry* root) {
    for (Entry* child : root->children) delete child;
    root->children.clear();
    delete root;
}

// Runs one pass as the main loop does: act on a key, then redraw and flush.
void onePass(KeyCode key) {
    handleKey(key);
    drawHintLine();
    drawMainScreen();
}

const KeyCode KEYS[] = {KEY_DOWN, KEY_UP, KEY_PGDN, KEY_PGUP, KEY_TAB, KEY_TAB, KEY_INSERT};
constexpr size_t KEY_COUNT = sizeof KEYS / sizeof KEYS[0];

// A browser on the in-memory console showing a directory of `count` files,
// with the cursor in the middle of the listing, away from both ends.
class BrowserOnDirectory {
  public:
    explicit BrowserOnDirectory(int count) : root_(makeDirectory(count)) {
        setConsoleBackend(&console_);
        browser = BrowserState{};
        browser.root = root_;
        browser.panel.current = root_;
        browser.titleLine = formatTitleLine();
        browser.panel.top = count > 40 ? count / 2 - 20 : 0;
        browser.panel.cursor = count / 2;
        drawStaticScreen();
    }
    ~BrowserOnDirectory() {
        setConsoleBackend(nullptr);
        browser = BrowserState{};
        destroyDirectory(root_);
    }

  private:
    MemoryConsole console_;
    Entry* root_;
};

void mainLoopPass(benchmark::State& state) {
    int count = static_cast<int>(state.range(0));
    BrowserOnDirectory session(count);
    size_t next = 0;
    for (auto _ : state) {
        onePass(KEYS[next]);
        next = (next + 1) % KEY_COUNT;
    }
    state.counters["children"] = count;
}
BENCHMARK(mainLoopPass)->Arg(40)->Arg(100000);

// Both sizes timed in one run, printed with their ratio.
double nanosecondsPerPass(int count) {
    BrowserOnDirectory session(count);
    constexpr int PASSES = 20000;
    double best = 1e300;
    for (int round = 0; round < 5; ++round) {
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < PASSES; ++i) onePass(KEYS[size_t(i) % KEY_COUNT]);
        auto end = std::chrono::steady_clock::now();
        double ns = std::chrono::duration<double, std::nano>(end - start).count() / PASSES;
        if (ns < best)
            best = ns;
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    releaseInfoHook = releaseEntryInfo;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    double small = nanosecondsPerPass(40);
    double huge = nanosecondsPerPass(100000);
    std::printf(
        "main loop pass: %.0f ns with 40 children, %.0f ns with 100000 children, "
        "ratio %.2f\n",
        small, huge, huge / small);
    return 0;
}
