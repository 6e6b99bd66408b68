// The terminal backend: keys are read straight from standard input and
// decoded here; the screen side is in curses_screen.cpp.
#include "platform/terminal.h"

#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

#include "console/backend.h"
#include "console/key_decoder.h"
#include "platform/posix/curses_screen.h"
#include "platform/posix/write_all.h"
#include "platform/signals.h"
#include "text/cp437.h"

namespace {

// How long the rest of an escape sequence may take before a lone ESC counts as the Esc key.
constexpr int ESCAPE_WAIT_MS = 50;

// State the interrupt handlers read: prepared while opening (and after each
// resize), never allocated in a handler.
// Set while a frame is on the screen, clear once the screen was given back.
volatile sig_atomic_t screenShown = 0;
volatile sig_atomic_t resizePending = 0;
// Two buffers for the give-back bytes, so a handler never reads one half-rewritten.
struct RestoreBytes {
    char bytes[512];
    size_t length = 0;
};
RestoreBytes restoreBuffers[2];
std::atomic<RestoreBytes*> restoreBytes{nullptr};
struct termios savedModes;
bool haveSavedModes = false;
int wakePipe[2] = {-1, -1};
struct sigaction previousResizeAction;

void prepareRestoreBytes() {
    RestoreBytes* next =
        restoreBytes.load() == &restoreBuffers[0] ? &restoreBuffers[1] : &restoreBuffers[0];
    std::string bytes = cursesRestoreSequence();
    next->length = bytes.size() < sizeof next->bytes ? bytes.size() : sizeof next->bytes;
    std::memcpy(next->bytes, bytes.data(), next->length);
    restoreBytes.store(next);
}

// Run by the interrupt handlers, at most once and only while the terminal is
// taken (they take the registered action away before running it): only
// async-signal-safe calls.
void giveBackOnInterrupt() {
    RestoreBytes* bytes = restoreBytes.load();
    if (screenShown && bytes != nullptr)
        writeAll(STDOUT_FILENO, bytes->bytes, bytes->length);
    if (haveSavedModes)
        tcsetattr(STDIN_FILENO, TCSADRAIN, &savedModes);
}

void noteResize(int) {
    resizePending = 1;
    int savedErrno = errno;
    ssize_t ignored = write(wakePipe[1], "r", 1);
    (void)ignored;
    errno = savedErrno;
}

bool localeIsUtf8() {
    const char* codeset = nl_langinfo(CODESET);
    return codeset != nullptr &&
           (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
}

// Terminals known to take the title sequence even where terminfo does not say so.
bool takesTitleSequence() {
    const char* term = std::getenv("TERM");
    if (term == nullptr)
        return false;
    for (const char* prefix : {"xterm", "rxvt", "screen", "tmux", "alacritty", "foot", "kitty",
                               "vte", "gnome", "konsole", "st-", "putty"}) {
        if (std::strncmp(term, prefix, std::strlen(prefix)) == 0)
            return true;
    }
    return false;
}

class TerminalConsole : public ConsoleBackend {
  public:
    void start(bool utf8) {
        utf8_ = utf8;
        decoder_ = KeyDecoder{};
        decoder_.utf8 = utf8;
        addTerminfoKeys(&decoder_, [](const char* name) { return cursesCapability(name); });
        pending_.clear();
        inputEnded_ = false;
        haveFrame_ = false;
        column_ = 0;
        row_ = 0;
    }

    void flush(const Cell* cells) override {
        haveFrame_ = true;
        screenShown = 1;
        // A resize that came in since the draw layer asked for the size:
        // whether the frame or the size notice is shown is decided again.
        if (takeResize()) {
            screenRepaint();
            return;
        }
        cursesDraw(cells, column_, row_);
    }

    void windowSize(int* columns, int* rows) override {
        takeResize();
        cursesWindowSize(columns, rows);
    }

    // What the terminal showed before is kept by the terminal itself (the
    // program draws on the alternate screen), so there is nothing to read here.
    void save(Cell* cells, int* column, int* row) override {
        for (int i = 0; i < SCREEN_CELLS; ++i) cells[i] = Cell{};
        *column = 0;
        *row = 0;
    }

    // Leaving the alternate screen brings back the old contents and cursor.
    void restore(const Cell*, int, int) override {
        screenShown = 0;
        cursesLeave();
    }

    void setCursor(int column, int row) override {
        column_ = column;
        row_ = row;
        cursesMoveCursor(column, row);
    }

    void getCursor(int* column, int* row) override {
        *column = column_;
        *row = row_;
    }

    void setCursorSize(int percent) override { cursesCursorSize(percent); }

    KeyCode readKey() override { return nextKey(true); }

    KeyCode pollKey() override { return nextKey(false); }

    // The next key; without `wait` only from what was typed already (the rest
    // of an escape sequence that has begun is still waited for, briefly).
    KeyCode nextKey(bool wait) {
        for (;;) {
            if (!pending_.empty()) {
                DecodedKey decoded = decodeKey(decoder_, pending_, inputEnded_);
                if (decoded.length == 0) {
                    if (waitForInput(ESCAPE_WAIT_MS)) {
                        readInput();
                        continue;
                    }
                    decoded = decodeKey(decoder_, pending_, true);
                }
                if (decoded.length > 0) {
                    pending_.erase(0, static_cast<size_t>(decoded.length));
                    if (decoded.key != KEY_NONE)
                        return decoded.key;
                    continue;
                }
            }
            if (inputEnded_)
                return KEY_NONE;
            if (!waitForInput(wait ? -1 : 0))
                return KEY_NOT_READY;
            readInput();
        }
    }

    void setTitle(const char* title) override {
        std::string text;
        for (const char* p = title ? title : ""; *p != 0 && text.size() < 600; ++p) {
            auto c = static_cast<unsigned char>(*p);
            if (utf8_) {
                text += cp437ToUtf8(c);  // glyphs only: never a control character
            } else {
                text.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
            }
        }
        const char* start = cursesCapability("tsl");
        const char* end = cursesCapability("fsl");
        if (start != nullptr && end != nullptr) {
            writeAll(start + text + end);
        } else if (takesTitleSequence()) {
            writeAll("\x1b]2;" + text + "\x07");
        }
    }

    // Forgets bytes read but not yet decoded.
    void discardPending() { pending_.clear(); }

  private:
    // Takes the terminal's new size after a resize; true when there was one.
    bool takeResize() {
        if (!resizePending)
            return false;
        resizePending = 0;
        drainWakePipe();
        cursesResize();
        prepareRestoreBytes();  // the last row moved
        return true;
    }

    static void drainWakePipe() {
        char drain[64];
        while (read(wakePipe[0], drain, sizeof drain) > 0) {
        }
    }

    // Waits until standard input has something (true) or the time is up
    // (false); a resize on the way repaints the last frame.
    bool waitForInput(int timeoutMs) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            int wait = -1;
            if (timeoutMs >= 0) {
                auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                deadline - std::chrono::steady_clock::now())
                                .count();
                wait = left > 0 ? static_cast<int>(left) : 0;
            }
            struct pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {wakePipe[0], POLLIN, 0}};
            int ready = poll(fds, 2, wait);
            if (ready < 0 && errno != EINTR) {
                inputEnded_ = true;  // nothing more can be read
                return true;
            }
            if (takeResize()) {
                // The last frame again, or the size notice in its place.
                if (haveFrame_ && screenShown)
                    screenRepaint();
            } else if (ready > 0 && (fds[1].revents & POLLIN)) {
                drainWakePipe();  // a wake-up whose resize was already taken
            }
            if (ready > 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL))) {
                return true;
            }
            if (ready == 0 && timeoutMs >= 0)
                return false;
        }
    }

    void readInput() {
        if (inputEnded_)
            return;
        char chunk[256];
        ssize_t n = read(STDIN_FILENO, chunk, sizeof chunk);
        if (n > 0) {
            pending_.append(chunk, static_cast<size_t>(n));
        } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
            // End of input or a terminal that went away: no key will come.
            inputEnded_ = true;
        }
    }

    bool haveFrame_ = false;
    int column_ = 0;
    int row_ = 0;
    bool utf8_ = true;
    KeyDecoder decoder_;
    std::string pending_;
    bool inputEnded_ = false;
};

TerminalConsole& terminalConsole() {
    static TerminalConsole console;
    return console;
}

bool terminalIsOpen = false;
std::string refusal;  // why the last terminalOpen refused the terminal, or empty

void installResizeHandler() {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    sigemptyset(&action.sa_mask);
    action.sa_handler = noteResize;
    // Interrupted reads and writes go on by themselves; the wait for a key
    // (poll) still wakes up, and the wake-up pipe covers the rest.
    action.sa_flags = SA_RESTART;
    sigaction(SIGWINCH, &action, &previousResizeAction);
}

}  // namespace

bool terminalOpen() {
    if (terminalIsOpen)
        return true;
    refusal.clear();
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO))
        return false;
    // Decided before anything is sent: a terminal that cannot place the
    // cursor would show the frames as a stream of text and wait for keys.
    refusal = cursesRefusal();
    if (!refusal.empty())
        return false;
    std::setlocale(LC_CTYPE, "");
    bool utf8 = localeIsUtf8();
    haveSavedModes = tcgetattr(STDIN_FILENO, &savedModes) == 0;
    if (pipe(wakePipe) != 0)
        return false;
    for (int fd : wakePipe) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    if (!cursesOpen(utf8)) {
        close(wakePipe[0]);
        close(wakePipe[1]);
        return false;
    }
    prepareRestoreBytes();

    terminalConsole().start(utf8);
    setConsoleBackend(&terminalConsole());
    installInterruptHandlers();
    setInterruptRestore(giveBackOnInterrupt);
    installResizeHandler();
    screenShown = 1;
    terminalIsOpen = true;
    // Keys pressed while the program started or loaded were meant for
    // nothing on screen yet.
    terminalDiscardInput();

    // A program that ends through exit() gives the terminal back as well.
    static bool registered = false;
    if (!registered) {
        registered = true;
        std::atexit(terminalClose);
    }
    return true;
}

const char* terminalRefusal() {
    return refusal.empty() ? nullptr : refusal.c_str();
}

void terminalClose() {
    if (!terminalIsOpen)
        return;
    terminalIsOpen = false;
    setInterruptRestore(nullptr);
    sigaction(SIGWINCH, &previousResizeAction, nullptr);
    screenShown = 0;
    cursesClose();
    if (haveSavedModes)
        tcsetattr(STDIN_FILENO, TCSADRAIN, &savedModes);
    if (consoleBackend() == &terminalConsole())
        setConsoleBackend(nullptr);
    close(wakePipe[0]);
    close(wakePipe[1]);
    wakePipe[0] = wakePipe[1] = -1;
}

void terminalDiscardInput() {
    if (!terminalIsOpen)
        return;
    tcflush(STDIN_FILENO, TCIFLUSH);
    terminalConsole().discardPending();
}
