// The console pieces on real terminals: the demo program run in tmux.
#include <signal.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/tmux_harness.h"

namespace {

const std::string DEMO = std::string(DIRRIP_PROGRAMS_DIR) + "/console_demo";

// The demo started after a line of its own, and the shell's report when it ends.
std::string demoCommand() {
    // The shell stays: a pane whose program ended would hide its cursor.
    return "printf 'before demo\\n'; " + TmuxSession::quote(DEMO) +
           "; echo \"status $?\"; exec sleep 60";
}

TmuxSession::Options withTerm(const std::string& term) {
    TmuxSession::Options options;
    options.term = term;
    return options;
}

int demoPid(TmuxSession& s) {
    std::string top = s.row(0);
    size_t at = top.find("(pid ");
    return at == std::string::npos ? -1 : std::atoi(top.c_str() + at + 5);
}

// Checks that the terminal was given back: normal screen with what it showed
// before, cursor visible, keypad mode off.
void expectGivenBack(TmuxSession& s) {
    EXPECT_TRUE(s.waitFor("before demo")) << s.dump();
    EXPECT_EQ(s.screen().find("console demo"), std::string::npos) << s.dump();
    std::string modes = s.tmux({"display-message", "-p", "-t", "main",
                                "#{alternate_on} #{cursor_flag} #{keypad_cursor_flag}"});
    EXPECT_EQ(modes, "0 1 0\n") << s.dump();
}

}  // namespace

class DemoOnTerminal : public ::testing::TestWithParam<const char*> {};

TEST_P(DemoOnTerminal, DrawsKeysAndDialogAndGivesTheTerminalBack) {
    TmuxSession s(demoCommand(), withTerm(GetParam()));
    ASSERT_TRUE(s.waitFor("console demo")) << s.dump();
    EXPECT_EQ(s.tmux({"display-message", "-p", "-t", "main", "#{alternate_on}"}), "1\n");

    // Glyphs, the window frame and its shadow.
    EXPECT_NE(s.row(2).find("0F   ╔═► glyphs ◄═══════════════╗  "), std::string::npos) << s.dump();
    EXPECT_NE(s.row(3).find("║ ☺☻♥♦♣♠•◘○◙♂♀♪♫☼►◄↕‼¶§▬↨↑ ║"), std::string::npos) << s.dump();
    EXPECT_NE(s.row(4).find("║ ↓→←∟↔▲▼⌂ ÇüéßΣ±≥½        ║"), std::string::npos) << s.dump();
    // Escape and C1 bytes in a cell are glyphs: the screen was not cleared by them.
    EXPECT_NE(s.row(5).find("esc:←[2J c1:¢àÉ"), std::string::npos) << s.dump();

    struct KeyCase {
        const char* key;
        const char* shown;
    };
    const KeyCase keys[] = {
        {"F1", "0x13B"},    {"F3", "0x13D"},      {"M-F3", "0x16A"},   {"F12", "0x158"},
        {"IC", "0x152"},    {"DC", "0x153"},      {"Home", "0x147"},   {"End", "0x14F"},
        {"PPage", "0x149"}, {"NPage", "0x151"},   {"Up", "0x148"},     {"Down", "0x150"},
        {"Left", "0x14B"},  {"Right", "0x14D"},   {"BSpace", "0x008"}, {"Tab", "0x009"},
        {"C-l", "0x00C"},   {"KPEnter", "0x11C"}, {"Enter", "0x00D"},  {"Escape", "0x01B"},
        {"a", "0x061"},     {"é", "0x082"},       {"Escape", "0x01B"},
    };
    for (const KeyCase& k : keys) {
        s.sendKeys(k.key);
        ASSERT_TRUE(s.waitFor(std::string("last key: ") + k.shown, 3000))
            << "key " << k.key << s.dump();
        s.sendKeys("C-a");  // a known key in between, so each check sees its own key
        ASSERT_TRUE(s.waitFor("last key: 0x001", 3000)) << s.dump();
    }

    // The mask dialog, its editing and its shadow.
    s.sendKeys("F2");
    ASSERT_TRUE(s.waitFor("╔═► select files ◄════╗")) << s.dump();
    EXPECT_NE(s.row(12).find("A8 A║ Mask: *.*           ║  "), std::string::npos) << s.dump();
    s.sendKeys("IC", "x", "End", "BSpace", "Enter");
    ASSERT_TRUE(s.waitFor("mask: x*. result 1")) << s.dump();

    s.sendKeys("Q");
    ASSERT_TRUE(s.waitFor("status 0")) << s.dump();
    EXPECT_TRUE(s.waitFor("demo ended")) << s.dump();
    expectGivenBack(s);
}

INSTANTIATE_TEST_SUITE_P(Terminals, DemoOnTerminal,
                         ::testing::Values("tmux-256color", "xterm-256color", "screen"),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (char& c : name) {
                                 if (c == '-')
                                     c = '_';
                             }
                             return name;
                         });

TEST(DemoColours, SixteenColoursWithBrightBackgrounds) {
    TmuxSession s(demoCommand());
    ASSERT_TRUE(s.waitFor("console demo")) << s.dump();
    std::string colours = s.screenWithColours();
    // Row of background C (bright red): black on bright red, never blinking.
    EXPECT_NE(colours.find("\x1b[30m\x1b[101mC0 "), std::string::npos) << colours;
    EXPECT_EQ(colours.find("\x1b[5m"), std::string::npos) << colours;
    // Bright foregrounds are real bright colours on a 16-colour terminal.
    EXPECT_NE(colours.find("\x1b[97mCF "), std::string::npos) << colours;
}

TEST(DemoColours, TextInItsOwnBackgroundColourIsBlank) {
    // The colour table holds "BF " at row 2 + B, column 3F: where F equals B
    // the text would vanish into its background only by chance of the
    // terminal's palette; it must be a blank cell.
    for (const char* term : {"tmux-256color", "screen"}) {
        TmuxSession s(demoCommand(), withTerm(term));
        ASSERT_TRUE(s.waitFor("console demo")) << s.dump();
        static const char HEX[] = "0123456789ABCDEF";
        for (int colour = 0; colour < 16; ++colour) {
            std::string row = s.row(2 + colour);
            EXPECT_EQ(row.substr(colour * 3, 3), "   ") << term << " colour " << colour << s.dump();
            int other = (colour + 1) % 16;
            std::string shown{HEX[colour], HEX[other]};
            EXPECT_EQ(row.substr(other * 3, 2), shown) << term;
        }
    }
}

TEST(DemoColours, EightColourTerminalDegrades) {
    TmuxSession s(demoCommand(), withTerm("screen"));
    ASSERT_TRUE(s.waitFor("console demo")) << s.dump();
    std::string colours = s.screenWithColours();
    EXPECT_NE(colours.find("\x1b[30m\x1b[41mC0 "), std::string::npos) << colours;
    EXPECT_NE(colours.find("\x1b[1m\x1b[30mC8 "), std::string::npos) << colours;
    for (const char* bright : {"\x1b[9", "\x1b[10", "\x1b[5m"}) {
        EXPECT_EQ(colours.find(bright), std::string::npos) << colours;
    }
}

TEST(DemoLocale, WithoutUtf8TheFrameUsesLineDrawing) {
    TmuxSession::Options options;
    options.environment = {{"LANG", "C"}};
    TmuxSession s(demoCommand(), options);
    ASSERT_TRUE(s.waitFor("console demo")) << s.dump();
    // Line drawing goes through the terminal's second character set (shifted in
    // with SO): tmux keeps those cells as the DEC letters l q k x.
    std::string colours = s.screenWithColours();
    EXPECT_NE(colours.find("\x0elq+\x0f \x1b[97mglyphs"), std::string::npos) << colours;
    EXPECT_NE(colours.find("\x0e,qqqqqqqqqqqqqqqk"), std::string::npos) << colours;
    // Escape and C1 bytes become an arrow and ASCII stand-ins, never raw bytes.
    EXPECT_NE(colours.find("\x0ex\x0f esc:\x0e,\x0f[2J c1:caE"), std::string::npos) << colours;
}

TEST(DemoTitle, WindowTitleIsSet) {
    for (const char* term : {"tmux-256color", "xterm-256color"}) {
        TmuxSession s(demoCommand(), withTerm(term));
        ASSERT_TRUE(s.waitFor("console demo")) << s.dump();
        std::string title;
        for (int i = 0; i < 40 && title != "[DEMO]-console demo\n"; ++i) {
            title = s.tmux({"display-message", "-p", "-t", "main", "#{pane_title}"});
        }
        EXPECT_EQ(title, "[DEMO]-console demo\n") << term;
    }
}

TEST(DemoResize, SmallerAndLargerTerminals) {
    TmuxSession s(demoCommand());
    ASSERT_TRUE(s.waitFor("console demo")) << s.dump();
    std::string full = s.screen();

    // Too small for the grid: one centred line says what is needed instead of a cropped grid.
    s.resize(40, 10);
    const std::string notice = std::string(9, ' ') + "needs 80x25, now 40x10" + std::string(9, ' ');
    ASSERT_TRUE(s.waitUntil([&](const std::string&) { return s.row(4) == notice; })) << s.dump();
    for (int r = 0; r < 10; ++r) {
        if (r != 4) {
            EXPECT_EQ(s.row(r), std::string(40, ' ')) << r << s.dump();
        }
    }
    s.sendKeys("F1");
    s.resize(100, 30);
    ASSERT_TRUE(s.waitFor("last key: 0x13B")) << s.dump();
    EXPECT_EQ(s.row(2).substr(s.row(2).find("╔")),
              "╔═► glyphs ◄═══════════════╗" + std::string(22, ' '))
        << s.dump();
    EXPECT_EQ(s.row(27), std::string(100, ' ')) << s.dump();

    s.resize(80, 25);
    s.sendKeys("C-a");
    ASSERT_TRUE(s.waitFor("last key: 0x001")) << s.dump();
    s.sendKeys("Q");
    ASSERT_TRUE(s.waitFor("status 0")) << s.dump();
    expectGivenBack(s);
}

// Rows 1-24 as the demo draws them when nothing was pressed yet, cut to 80 columns.
std::string gridRows(TmuxSession& s) {
    std::string rows;
    for (int r = 1; r < 25; ++r) rows += s.row(r).substr(0, 80) + "\n";
    return rows;
}

TEST(DemoResize, LargerWindowsGetTheWholeGridWithoutAKey) {
    std::string expected;
    {
        TmuxSession s(demoCommand());
        ASSERT_TRUE(s.waitFor("X: crash")) << s.dump();
        expected = gridRows(s);
    }
    TmuxSession::Options options;
    options.width = 100;
    options.height = 30;
    TmuxSession s(demoCommand(), options);
    ASSERT_TRUE(s.waitUntil([&](const std::string&) { return gridRows(s) == expected; }))
        << "started at 100x30" << s.dump();
    s.resize(90, 27);
    ASSERT_TRUE(s.waitUntil([&](const std::string&) { return gridRows(s) == expected; }))
        << "resized to 90x27" << s.dump();
}

// The keys typed while the program starts up (here: while it sleeps before
// taking the terminal) were meant for nothing on screen yet.
TEST(DemoInput, KeysTypedBeforeTheTerminalIsTakenAreThrownAway) {
    TmuxSession s("printf 'before demo\\n'; sleep 1; " + TmuxSession::quote(DEMO) +
                  "; echo \"status $?\"; exec sleep 60");
    ASSERT_TRUE(s.waitFor("before demo")) << s.dump();
    s.sendKeys("a", "Escape");
    ASSERT_TRUE(s.waitFor("console demo")) << s.dump();
    EXPECT_FALSE(s.waitFor("last key: 0x", 1000)) << s.dump();
    s.sendKeys("C-a");
    EXPECT_TRUE(s.waitFor("last key: 0x001")) << s.dump();
}

// Without a screen of its own (TERM=linux has none) the terminal shows the
// frames on its normal screen: leaving, by a key or by a signal, must not
// keep the last one there.
TEST(DemoEnding, TerminalWithoutItsOwnScreenIsLeftBlank) {
    for (bool bySignal : {false, true}) {
        TmuxSession s(demoCommand(), withTerm("linux"));
        ASSERT_TRUE(s.waitFor("console demo")) << s.dump();
        if (bySignal) {
            ASSERT_EQ(kill(demoPid(s), SIGTERM), 0);
        } else {
            s.sendKeys("Q");
        }
        ASSERT_TRUE(s.waitFor(bySignal ? "status 143" : "status 0")) << s.dump();
        for (int r = 0; r < 25; ++r) {
            std::string row = s.row(r);
            bool ours = row.rfind("status ", 0) == 0 || row.rfind("demo ended", 0) == 0 ||
                        row.rfind("Terminated", 0) == 0;  // the shell's report
            EXPECT_TRUE(ours || row == std::string(80, ' '))
                << (bySignal ? "signal" : "key") << ", row " << r << s.dump();
        }
    }
}

class DemoEnding : public ::testing::TestWithParam<int> {};

TEST_P(DemoEnding, SignalsGiveTheTerminalBack) {
    int signalNumber = GetParam();
    TmuxSession s(demoCommand());
    ASSERT_TRUE(s.waitFor("console demo")) << s.dump();
    int pid = demoPid(s);
    ASSERT_GT(pid, 0) << s.dump();
    ASSERT_EQ(kill(pid, signalNumber), 0);
    ASSERT_TRUE(s.waitFor("status " + std::to_string(128 + signalNumber))) << s.dump();
    expectGivenBack(s);
}

INSTANTIATE_TEST_SUITE_P(Signals, DemoEnding,
                         ::testing::Values(SIGTERM, SIGHUP, SIGINT, SIGQUIT, SIGSEGV));

TEST(DemoEnding, CrashAndExitGiveTheTerminalBack) {
    {
        TmuxSession s(demoCommand());
        ASSERT_TRUE(s.waitFor("console demo")) << s.dump();
        s.sendKeys("X");
        ASSERT_TRUE(s.waitFor("status 139")) << s.dump();
        expectGivenBack(s);
    }
    {
        TmuxSession s(demoCommand());
        ASSERT_TRUE(s.waitFor("console demo")) << s.dump();
        s.sendKeys("E");
        ASSERT_TRUE(s.waitFor("status 2")) << s.dump();
        expectGivenBack(s);
    }
}

TEST(DemoInput, EndsCleanlyWhenTheTerminalGoesAway) {
    // The pane is killed: the terminal hangs up and the program must end, not spin.
    TmuxSession s("sh -c " + TmuxSession::quote(TmuxSession::quote(DEMO) + "; echo $? > status"));
    ASSERT_TRUE(s.waitFor("console demo")) << s.dump();
    int pid = demoPid(s);
    ASSERT_GT(pid, 0);
    s.tmux({"kill-pane", "-t", "main"});
    bool gone = false;
    for (int i = 0; i < 100 && !gone; ++i) {
        gone = kill(pid, 0) != 0;
        if (!gone)
            usleep(50000);
    }
    EXPECT_TRUE(gone) << "the demo still runs after its terminal went away";
}

TEST(DemoInput, RefusesToRunWithoutATerminal) {
    std::string command = TmuxSession::quote(DEMO) + " < /dev/null 2>&1; echo \"status $?\"";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char chunk[256];
    while (size_t n = fread(chunk, 1, sizeof chunk, pipe)) output.append(chunk, n);
    pclose(pipe);
    EXPECT_EQ(output, "console_demo: standard input and output must be a terminal\nstatus 1\n");
}
