// Runs a real program on a terminal of its own inside a private, detached
// tmux server, types keys into it and reads back what it shows.
//
//   TmuxSession s(TmuxSession::quote(DIRRIP_BINARY) + " demo.dir");
//   ASSERT_TRUE(s.waitFor("file from")) << s.dump();
//   s.sendKeys("Escape", "Escape");
//   ASSERT_TRUE(s.waitForExit(5000)) << s.dump();
//
// Once the program has ended, tmux hides the cursor of the dead pane; to check
// the terminal modes a program leaves behind, keep a shell running after it:
//   TmuxSession s(program + "; echo \"status $?\"; exec sleep 60");
//   ASSERT_TRUE(s.waitFor("status 0")) << s.dump();
//   s.tmux({"display-message", "-p", "-t", "main", "#{alternate_on} #{cursor_flag}"});
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

class TmuxSession {
  public:
    struct Options {
        std::string term = "tmux-256color";  // TERM of the program: also xterm-256color, screen
        std::string workingDirectory;        // empty: the current directory
        // Extra environment of the program; LANG=C.UTF-8 is set unless given here.
        std::vector<std::pair<std::string, std::string>> environment;
        int width = 80;
        int height = 25;
    };

    // Starts `shellCommand` (run by /bin/sh) in a fresh tmux server of its own.
    explicit TmuxSession(const std::string& shellCommand);
    TmuxSession(const std::string& shellCommand, const Options& options);
    // Kills the tmux server and everything running in it.
    ~TmuxSession();
    TmuxSession(const TmuxSession&) = delete;
    TmuxSession& operator=(const TmuxSession&) = delete;

    // True when the tmux server and its pane came up.
    bool started() const { return started_; }

    // Sends keys by tmux name ("F2", "Escape", "Down", "IC", "C-l", "M-F3", "Enter")
    // or as text ("abc" types a, b, c). Each argument is one send-keys word.
    template <typename... Keys>
    void sendKeys(const Keys&... keys) {
        sendKeyList({std::string(keys)...});
    }
    void sendKeyList(const std::vector<std::string>& keys);
    // Types `text` literally, even where it spells a key name.
    void sendText(const std::string& text);
    // Writes raw bytes to the program as if the terminal had sent them.
    void sendBytes(const std::string& bytes);

    // The visible screen, one line per row, each padded with blanks to the full width.
    std::string screen();
    // The same with the terminal's colour and attribute sequences.
    std::string screenWithColours();
    // Row r (0 at the top) of the visible screen; empty when out of range.
    std::string row(int r);
    // Row r of a screen as screen() or screenWithColours() gave it.
    static std::string lineOf(const std::string& screen, int r);

    // Polls every 50 ms until the screen holds `text`; false on timeout.
    bool waitFor(const std::string& text, int timeoutMs = 5000);
    // Polls until the screen no longer holds `text`.
    bool waitForGone(const std::string& text, int timeoutMs = 5000);
    // Polls until `done` holds for the screen.
    bool waitUntil(const std::function<bool(const std::string& screen)>& done,
                   int timeoutMs = 5000);
    // Polls until row r holds `text`.
    bool waitForRow(int r, const std::string& text, int timeoutMs = 5000);
    // Polls until the program has ended; `exitStatus` gets its status (128 + signal
    // when a signal ended it). False on timeout.
    bool waitForExit(int timeoutMs, int* exitStatus = nullptr);

    // Resizes the terminal the program runs on.
    void resize(int width, int height);

    // The whole screen with row numbers and the session's settings, for failure messages.
    std::string dump();

    // Quotes a word for /bin/sh.
    static std::string quote(const std::string& word);

    // Runs a tmux command on this session's server; returns its standard output.
    std::string tmux(const std::vector<std::string>& arguments, int* status = nullptr);

  private:
    std::vector<std::string> captureArguments();
    bool paneDead();

    std::string socket_;
    std::string target_;
    Options options_;
    bool started_ = false;
    // Where the pane's shell writes the program's exit status: tmux itself
    // now and then loses the status of a program that has ended.
    std::string statusPath_;
};
