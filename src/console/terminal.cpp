// The terminal backend: keys are read straight from standard input and
// decoded here; the screen side is in curses_screen.cpp.
#include "console/terminal.h"

#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

#include "console/backend.h"
#include "text/cp437.h"
#include "console/curses_screen.h"
#include "console/key_decoder.h"

namespace {

// How long the rest of an escape sequence may take before a lone ESC counts as the Esc key.
constexpr int ESCAPE_WAIT_MS = 50;

constexpr int GIVE_BACK_SIGNALS[] = {SIGTERM, SIGHUP, SIGINT, SIGQUIT, SIGSEGV,
                                     SIGBUS,  SIGFPE, SIGILL, SIGABRT};
constexpr int SIGNAL_COUNT = sizeof GIVE_BACK_SIGNALS / sizeof GIVE_BACK_SIGNALS[0];

// State the signal handlers read: prepared while opening, never allocated in a handler.
volatile sig_atomic_t terminalTaken = 0;
volatile sig_atomic_t resizePending = 0;
char restoreBytes[512];
size_t restoreLength = 0;
struct termios savedModes;
bool haveSavedModes = false;
int wakePipe[2] = {-1, -1};
struct sigaction previousActions[SIGNAL_COUNT];
struct sigaction previousResizeAction;

void giveBackOnSignal(int signalNumber) {
    if (terminalTaken) {
        terminalTaken = 0;
        ssize_t ignored = write(STDOUT_FILENO, restoreBytes, restoreLength);
        (void)ignored;
        if (haveSavedModes)
            tcsetattr(STDIN_FILENO, TCSADRAIN, &savedModes);
    }
    // End the way the signal would have ended the program.
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
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

void writeAll(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
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
        for (int i = 0; i < SCREEN_CELLS; ++i) frame_[i] = cells[i];
        haveFrame_ = true;
        takeResize();
        cursesDraw(frame_, column_, row_);
    }

    // What the terminal showed before is kept by the terminal itself (the
    // program draws on the alternate screen), so there is nothing to read here.
    void save(Cell* cells, int* column, int* row) override {
        for (int i = 0; i < SCREEN_CELLS; ++i) cells[i] = Cell{};
        *column = 0;
        *row = 0;
    }

    // Leaving the alternate screen brings back the old contents and cursor.
    void restore(const Cell*, int, int) override { cursesLeave(); }

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

    KeyCode readKey() override {
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
            waitForInput(-1);
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

  private:
    void takeResize() {
        if (!resizePending)
            return;
        resizePending = 0;
        drainWakePipe();
        cursesResize();
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
            if (resizePending) {
                takeResize();
                if (haveFrame_)
                    cursesDraw(frame_, column_, row_);
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

    Cell frame_[SCREEN_CELLS];
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

void installHandlers() {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    sigemptyset(&action.sa_mask);
    action.sa_handler = giveBackOnSignal;
    for (int i = 0; i < SIGNAL_COUNT; ++i) {
        sigaction(GIVE_BACK_SIGNALS[i], &action, &previousActions[i]);
    }
    // No SA_RESTART: a resize also interrupts the wait for a key.
    action.sa_handler = noteResize;
    sigaction(SIGWINCH, &action, &previousResizeAction);
}

void removeHandlers() {
    for (int i = 0; i < SIGNAL_COUNT; ++i) {
        sigaction(GIVE_BACK_SIGNALS[i], &previousActions[i], nullptr);
    }
    sigaction(SIGWINCH, &previousResizeAction, nullptr);
}

}  // namespace

bool terminalOpen() {
    if (terminalIsOpen)
        return true;
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO))
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
    std::string restore = cursesRestoreSequence();
    restoreLength = restore.size() < sizeof restoreBytes ? restore.size() : sizeof restoreBytes;
    std::memcpy(restoreBytes, restore.data(), restoreLength);

    terminalConsole().start(utf8);
    setConsoleBackend(&terminalConsole());
    installHandlers();
    terminalTaken = 1;
    terminalIsOpen = true;

    // A program that ends through exit() gives the terminal back as well.
    static bool registered = false;
    if (!registered) {
        registered = true;
        std::atexit(terminalClose);
    }
    return true;
}

void terminalClose() {
    if (!terminalIsOpen)
        return;
    terminalIsOpen = false;
    terminalTaken = 0;
    removeHandlers();
    cursesClose();
    if (haveSavedModes)
        tcsetattr(STDIN_FILENO, TCSADRAIN, &savedModes);
    if (consoleBackend() == &terminalConsole())
        setConsoleBackend(nullptr);
    close(wakePipe[0]);
    close(wakePipe[1]);
    wakePipe[0] = wakePipe[1] = -1;
}
