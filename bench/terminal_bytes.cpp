// Bytes the terminal console sends, counted on a pty of our own: a full first
// frame, the cursor row moving by one, a progress line, and a flush with
// nothing changed. Then the CPU cost of drawing a frame and decoding keys.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "text/cp437.h"
#include "console/key_decoder.h"
#include "console/screen.h"
#include "platform/terminal.h"

namespace {

constexpr long FIRST_FRAME_LIMIT = 12 * 1024;
constexpr long MOVE_LIMIT = 300;

// A frame laid out like the browser's: title bar, two framed panels of 20
// rows with the cursor on `cursor`, and the hint line.
void drawBrowserFrame(int cursor, int percent) {
    constexpr Cp437Text top{"╔════════════╤══════════╤════════╤═════╗"};
    constexpr Cp437Text header{"║   ~Entry~    │   ~Size~   │ ~Offset~ │ ~RIP~ ║"};
    constexpr Cp437Text bottom{"╚════════════╧══════════╧════════╧═════╝"};
    constexpr Cp437Text fileRow{"║~FILE%04d DAT~│~%10d~│~%08X~│~ %3s ~║"};
    constexpr Cp437Text cursorRow{"║~FILE%04d DAT│%10d│%08X│ %3s ~║"};
    putText(0, 0, ATTR_TITLE, " DIR ripper v1.52. test frame ", 80);
    putMarked(0, 58, 0x30, 0x3E, "~   12 file from 120  ~", 21, '~');
    for (int panel = 0; panel < 2; ++panel) {
        int column = panel * 40;
        putMarkup(1, column, ATTR_PANEL, top, 40);
        putMarked(2, column, ATTR_PANEL, ATTR_PANEL_HIGHLIGHT, header, 40, '~');
        putMarkup(23, column, ATTR_PANEL, bottom, 40);
        for (int r = 0; r < 20; ++r) {
            int index = panel * 20 + r;
            char text[80];
            bool isCursor = index == cursor;
            std::snprintf(text, sizeof text, isCursor ? cursorRow.c_str() : fileRow.c_str(), index,
                          index * 1234, index * 4096, index % 3 == 0 ? "yes" : "");
            putMarked(3 + r, column, ATTR_PANEL, isCursor ? 0x30 : 0x1B, text, 40, '~');
        }
    }
    if (percent < 0) {
        putMarkup(24, 0, ATTR_BOX, " ~insert:~ select, ~f2~: rip entry, ~esc (twice)~: exit", 80);
    } else {
        char progress[80];
        std::snprintf(progress, sizeof progress, "Ripping '~FILE0001.DAT~' %02d%%", percent);
        putMarkup(24, 0, ATTR_BOX, progress, 80);
    }
}

struct PtyCounter {
    int master = -1;
    std::atomic<long> bytes{0};
    std::atomic<bool> stop{false};
    std::thread reader;
    long seen = 0;

    void start() {
        reader = std::thread([this] {
            char chunk[4096];
            while (!stop) {
                struct pollfd fd = {master, POLLIN, 0};
                if (poll(&fd, 1, 20) > 0) {
                    ssize_t n = read(master, chunk, sizeof chunk);
                    if (n > 0)
                        bytes += n;
                    if (n <= 0)
                        break;
                }
            }
        });
    }
    // Bytes that arrived since the last call, once the output has settled.
    long settle() {
        long last = -1;
        while (bytes.load() != last) {
            last = bytes.load();
            std::this_thread::sleep_for(std::chrono::milliseconds(60));
        }
        long delta = last - seen;
        seen = last;
        return delta;
    }
};

struct Figures {
    long open = 0, firstFrame = 0, move = 0, progress = 0, unchanged = 0;
};

bool measure(const char* term, Figures* figures) {
    int master, slave;
    struct winsize size = {25, 80, 0, 0};
    if (openpty(&master, &slave, nullptr, nullptr, &size) != 0)
        return false;
    int savedIn = dup(STDIN_FILENO);
    int savedOut = dup(STDOUT_FILENO);
    std::fflush(stdout);
    dup2(slave, STDIN_FILENO);
    dup2(slave, STDOUT_FILENO);
    setenv("TERM", term, 1);
    setenv("LANG", "C.UTF-8", 1);

    PtyCounter counter;
    counter.master = master;
    counter.start();
    bool opened = terminalOpen();
    if (opened) {
        figures->open = counter.settle();
        screenClear();
        drawBrowserFrame(5, -1);
        screenFlush();
        figures->firstFrame = counter.settle();
        drawBrowserFrame(6, -1);
        screenFlush();
        figures->move = counter.settle();
        drawBrowserFrame(6, 42);
        screenFlush();
        figures->progress = counter.settle();
        drawBrowserFrame(6, 42);
        screenFlush();
        figures->unchanged = counter.settle();
        terminalClose();
        counter.settle();
    }
    counter.stop = true;
    counter.reader.join();
    std::fflush(stdout);
    dup2(savedIn, STDIN_FILENO);
    dup2(savedOut, STDOUT_FILENO);
    close(savedIn);
    close(savedOut);
    close(slave);
    close(master);
    return opened;
}

void BM_DrawBrowserFrame(benchmark::State& state) {
    int cursor = 0;
    for (auto _ : state) {
        drawBrowserFrame(cursor++ % 40, -1);
        benchmark::DoNotOptimize(screen.draw);
    }
}
BENCHMARK(BM_DrawBrowserFrame);

void BM_DecodeKeys(benchmark::State& state) {
    KeyDecoder decoder;
    const std::string input = "\x1bOA\x1b[6~a\x1b[1;3R\xc3\xa9\r\x1b[24~";
    for (auto _ : state) {
        std::string_view rest = input;
        while (!rest.empty()) {
            DecodedKey key = decodeKey(decoder, rest, true);
            benchmark::DoNotOptimize(key);
            rest.remove_prefix(static_cast<size_t>(key.length));
        }
    }
    state.SetItemsProcessed(state.iterations() * 7);
}
BENCHMARK(BM_DecodeKeys);

}  // namespace

int main(int argc, char** argv) {
    bool withinLimits = true;
    std::printf(
        "Bytes sent to an 80x25 pty (limits: first frame %ld, cursor move %ld, no change 0)\n",
        FIRST_FRAME_LIMIT, MOVE_LIMIT);
    std::printf("%-16s %8s %12s %11s %10s %10s\n", "TERM", "open", "first frame", "cursor move",
                "progress", "unchanged");
    for (const char* term : {"tmux-256color", "xterm-256color", "screen"}) {
        Figures figures;
        if (!measure(term, &figures)) {
            std::printf("%-16s could not open the terminal\n", term);
            withinLimits = false;
            continue;
        }
        std::printf("%-16s %8ld %12ld %11ld %10ld %10ld   (frame %.2f, move %.2f of the limit)\n",
                    term, figures.open, figures.firstFrame, figures.move, figures.progress,
                    figures.unchanged, double(figures.firstFrame) / FIRST_FRAME_LIMIT,
                    double(figures.move) / MOVE_LIMIT);
        if (figures.firstFrame > FIRST_FRAME_LIMIT || figures.move > MOVE_LIMIT ||
            figures.unchanged != 0) {
            withinLimits = false;
        }
    }
    std::printf("%s\n\n", withinLimits ? "within limits" : "LIMIT EXCEEDED");
    std::fflush(stdout);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return withinLimits ? 0 : 1;
}
