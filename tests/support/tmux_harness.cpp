// The tmux end-to-end harness: every tmux call runs without a shell, with its
// output captured, against a server socket that belongs to one session only.
#include "tmux_harness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace {

// Runs argv with standard input from /dev/null; returns its exit status (-1 when it
// could not run) and its standard output.
int runProgram(const std::vector<std::string>& argv, std::string* output) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return -1;
    pid_t pid = fork();
    if (pid < 0) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        return -1;
    }
    if (pid == 0) {
        int devNull = open("/dev/null", O_RDWR);
        if (devNull >= 0) {
            dup2(devNull, 0);
            if (devNull > 2)
                close(devNull);
        }
        dup2(pipeFds[1], 1);
        close(pipeFds[0]);
        close(pipeFds[1]);
        // A test run from inside tmux must still get a server of its own.
        unsetenv("TMUX");
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(pipeFds[1]);
    std::string collected;
    char chunk[4096];
    for (;;) {
        ssize_t n = read(pipeFds[0], chunk, sizeof chunk);
        if (n > 0) {
            collected.append(chunk, static_cast<size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    close(pipeFds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (output)
        *output = collected;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string uniqueSocketName() {
    static std::atomic<int> counter{0};
    auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    std::ostringstream name;
    name << "dirrip-test-" << getpid() << "-" << counter++ << "-" << (now % 1000000007);
    return name.str();
}

void sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

TmuxSession::TmuxSession(const std::string& shellCommand) : TmuxSession(shellCommand, Options{}) {}

TmuxSession::TmuxSession(const std::string& shellCommand, const Options& options)
    : socket_(uniqueSocketName()), target_("main"), options_(options) {
    std::vector<std::string> arguments = {"start-server",
                                          ";",
                                          "set-option",
                                          "-g",
                                          "default-terminal",
                                          options_.term,
                                          ";",
                                          "set-option",
                                          "-g",
                                          "remain-on-exit",
                                          "on",
                                          ";",
                                          "set-option",
                                          "-g",
                                          "status",
                                          "off",
                                          ";",
                                          "set-option",
                                          "-g",
                                          "escape-time",
                                          "0",
                                          ";",
                                          "set-option",
                                          "-g",
                                          "history-limit",
                                          "100",
                                          ";",
                                          "new-session",
                                          "-d",
                                          "-s",
                                          target_,
                                          "-x",
                                          std::to_string(options_.width),
                                          "-y",
                                          std::to_string(options_.height)};
    if (!options_.workingDirectory.empty()) {
        arguments.push_back("-c");
        arguments.push_back(options_.workingDirectory);
    }
    bool langGiven = false;
    for (const auto& [name, value] : options_.environment) {
        if (name == "LANG")
            langGiven = true;
        arguments.push_back("-e");
        arguments.push_back(name + "=" + value);
    }
    if (!langGiven) {
        arguments.push_back("-e");
        arguments.push_back("LANG=C.UTF-8");
    }
    char statusTemplate[] = "/tmp/dirrip-tmux-status-XXXXXX";
    int statusFd = mkstemp(statusTemplate);
    if (statusFd >= 0) {
        close(statusFd);
        statusPath_ = statusTemplate;
        // The program runs in a shell of its own ($$ is its own process), and
        // the pane's shell records how it ended before ending the same way.
        arguments.push_back("sh -c " + quote(shellCommand) + "; s=$?; echo $s > " +
                            quote(statusPath_) + "; exit $s");
    } else {
        arguments.push_back(shellCommand);
    }
    int status = 0;
    tmux(arguments, &status);
    started_ = status == 0;
}

TmuxSession::~TmuxSession() {
    tmux({"kill-server"});
    if (!statusPath_.empty())
        unlink(statusPath_.c_str());
}

std::string TmuxSession::tmux(const std::vector<std::string>& arguments, int* status) {
    // -u: the captured screen comes back as UTF-8 whatever the test's own locale is.
    std::vector<std::string> argv = {"tmux", "-u", "-L", socket_, "-f", "/dev/null"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::string output;
    int result = runProgram(argv, &output);
    if (status)
        *status = result;
    return output;
}

void TmuxSession::sendKeyList(const std::vector<std::string>& keys) {
    std::vector<std::string> arguments = {"send-keys", "-t", target_};
    arguments.insert(arguments.end(), keys.begin(), keys.end());
    tmux(arguments);
}

void TmuxSession::sendText(const std::string& text) {
    tmux({"send-keys", "-t", target_, "-l", text});
}

void TmuxSession::sendBytes(const std::string& bytes) {
    std::vector<std::string> arguments = {"send-keys", "-t", target_, "-H"};
    char hex[4];
    for (unsigned char c : bytes) {
        std::snprintf(hex, sizeof hex, "%02x", c);
        arguments.push_back(hex);
    }
    tmux(arguments);
}

std::vector<std::string> TmuxSession::captureArguments() {
    std::vector<std::string> arguments = {"capture-pane", "-p", "-N", "-t", target_};
    // When the program ends, tmux scrolls the pane up by one line to write its
    // "Pane is dead" note; capture the rows as the program left them instead.
    if (paneDead()) {
        arguments.insert(arguments.end(), {"-S", "-1", "-E", std::to_string(options_.height - 2)});
    }
    return arguments;
}

bool TmuxSession::paneDead() {
    return tmux({"display-message", "-p", "-t", target_, "#{pane_dead}"}).rfind("1", 0) == 0;
}

std::string TmuxSession::screen() {
    std::string captured = tmux(captureArguments());
    // Rows come back without their trailing blanks; pad them so rows compare whole.
    std::istringstream lines(captured);
    std::string line, padded;
    while (std::getline(lines, line)) {
        size_t width = 0;
        for (unsigned char c : line) width += (c & 0xC0) != 0x80;
        if (width < static_cast<size_t>(options_.width))
            line.append(options_.width - width, ' ');
        padded += line + "\n";
    }
    return padded;
}

std::string TmuxSession::screenWithColours() {
    std::vector<std::string> arguments = captureArguments();
    arguments.insert(arguments.begin() + 2, "-e");
    return tmux(arguments);
}

std::string TmuxSession::row(int r) {
    return lineOf(screen(), r);
}

std::string TmuxSession::lineOf(const std::string& screen, int r) {
    std::istringstream lines(screen);
    std::string line;
    for (int i = 0; std::getline(lines, line); ++i) {
        if (i == r)
            return line;
    }
    return "";
}

bool TmuxSession::waitForRow(int r, const std::string& text, int timeoutMs) {
    return waitUntil(
        [&](const std::string& screen) { return lineOf(screen, r).find(text) != std::string::npos; },
        timeoutMs);
}

bool TmuxSession::waitUntil(const std::function<bool(const std::string&)>& done, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (done(screen()))
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        sleepMs(50);
    }
}

bool TmuxSession::waitFor(const std::string& text, int timeoutMs) {
    return waitUntil([&](const std::string& s) { return s.find(text) != std::string::npos; },
                     timeoutMs);
}

bool TmuxSession::waitForGone(const std::string& text, int timeoutMs) {
    return waitUntil([&](const std::string& s) { return s.find(text) == std::string::npos; },
                     timeoutMs);
}

bool TmuxSession::waitForExit(int timeoutMs, int* exitStatus) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        std::string state = tmux({"display-message", "-p", "-t", target_,
                                  "#{pane_dead}:#{pane_dead_status}:#{pane_dead_signal}"});
        int dead = std::atoi(state.c_str());
        size_t first = state.find(':');
        size_t second = first == std::string::npos ? first : state.find(':', first + 1);
        std::string status, signal;
        if (second != std::string::npos) {
            status = state.substr(first + 1, second - first - 1);
            signal = state.substr(second + 1);
        }
        std::string recorded;
        if (dead == 1 && !statusPath_.empty()) {
            std::ifstream in(statusPath_);
            std::getline(in, recorded);
        }
        if (dead == 1 && !recorded.empty()) {
            if (exitStatus)
                *exitStatus = std::atoi(recorded.c_str());
            return true;
        }
        // tmux can mark the pane dead (its terminal closed) a moment before it
        // has collected the exit status; wait for the status too.
        bool statusKnown = !status.empty() || !signal.empty();
        if (dead == 1 && (statusKnown || exitStatus == nullptr ||
                          std::chrono::steady_clock::now() >= deadline)) {
            if (exitStatus) {
                if (!signal.empty() && std::atoi(signal.c_str()) > 0) {
                    *exitStatus = 128 + std::atoi(signal.c_str());
                } else {
                    *exitStatus = std::atoi(status.c_str());
                }
            }
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        sleepMs(50);
    }
}

void TmuxSession::resize(int width, int height) {
    options_.width = width;
    options_.height = height;
    tmux({"resize-window", "-t", target_, "-x", std::to_string(width), "-y",
          std::to_string(height)});
}

std::string TmuxSession::dump() {
    std::ostringstream out;
    out << "\ntmux screen (TERM=" << options_.term << ", socket " << socket_ << "):\n";
    std::istringstream lines(screen());
    std::string line;
    for (int i = 0; std::getline(lines, line); ++i) {
        char number[8];
        std::snprintf(number, sizeof number, "%2d|", i);
        out << number << line << "|\n";
    }
    return out.str();
}

std::string TmuxSession::quote(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}
