// The browser's keys, end to end: the real program in tmux.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/browser_in_tmux.h"

namespace {

// A directory `name` of `count` files PREFIX0000.BIN, ... holding "data".
ArchiveNode numberedFiles(const std::string& name, const std::string& prefix, int count) {
    std::vector<ArchiveNode> files;
    for (int i = 0; i < count; ++i) {
        char file[32];
        std::snprintf(file, sizeof file, "%s%04d.BIN", prefix.c_str(), i);
        files.push_back(archiveFile(file, "data"));
    }
    return archiveDirectory(name, std::move(files));
}

class BrowserKeys : public BrowserInTmux {
  protected:
    void start(const ArchiveNode& root) {
        writeArchive(dir, root, "game.dir");
        BrowserInTmux::start("game.dir");
    }
    // Waits for the status field to read "N file from COUNT".
    bool status(int number, int count) {
        char field[32];
        std::snprintf(field, sizeof field, "%5d file from %-5d", number, count);
        return rowShows(0, field);
    }
    void press(const std::string& key, int times) {
        for (int i = 0; i < times; ++i) session->sendKeys(key);
    }
};

TEST_F(BrowserKeys, PagingThroughOneHundredChildren) {
    start(numberedFiles("", "F", 100));
    session->sendKeys("Up");
    ASSERT_TRUE(status(1, 100)) << session->dump();
    const struct {
        int cursor;
        const char* firstRow;
    } pages[] = {{21, "F0020"}, {41, "F0040"}, {61, "F0060"}, {100, "F0060"}};
    for (const auto& page : pages) {
        session->sendKeys("NPage");
        ASSERT_TRUE(status(page.cursor, 100)) << session->dump();
        ASSERT_TRUE(rowShows(3, std::string("║") + page.firstRow)) << session->dump();
    }
    session->sendKeys("Down");  // on the last child: nothing
    session->sendKeys("Home");
    ASSERT_TRUE(status(1, 100)) << session->dump();
    ASSERT_TRUE(rowShows(3, "║F0000 ")) << session->dump();
    // Down from the 40th place scrolls by one child.
    press("Down", 40);
    ASSERT_TRUE(status(41, 100)) << session->dump();
    ASSERT_TRUE(rowShows(3, "║F0001 ")) << session->dump();
    ASSERT_TRUE(rowShows(22, "║F0020 ")) << session->dump();
    ASSERT_TRUE(rowShows(22, "║F0040 ")) << session->dump();
    // From top 10, PgUp goes to the very start.
    press("Down", 9);
    ASSERT_TRUE(rowShows(3, "║F0010 ")) << session->dump();
    session->sendKeys("PPage");
    ASSERT_TRUE(status(1, 100)) << session->dump();
    ASSERT_TRUE(rowShows(3, "║F0000 ")) << session->dump();
    session->sendKeys("End");
    ASSERT_TRUE(status(100, 100)) << session->dump();
    ASSERT_TRUE(rowShows(3, "║F0060 ")) << session->dump();
    quit();
}

TEST_F(BrowserKeys, PagingFiftyNineAndTabOnThirty) {
    start(numberedFiles("", "F", 59));
    session->sendKeys("NPage");
    ASSERT_TRUE(status(59, 59)) << session->dump();
    ASSERT_TRUE(rowShows(3, "║F0019 ")) << session->dump();
    ASSERT_TRUE(rowShows(22, "║F0058 ")) << session->dump();
    quit();

    start(numberedFiles("", "T", 30));
    press("Down", 14);
    ASSERT_TRUE(status(15, 30)) << session->dump();
    session->sendKeys("Tab");  // index 34 does not exist
    session->sendKeys("Home");
    press("Down", 5);
    ASSERT_TRUE(status(6, 30)) << session->dump();
    session->sendKeys("Tab");
    ASSERT_TRUE(status(26, 30)) << session->dump();
    session->sendKeys("Tab");
    ASSERT_TRUE(status(6, 30)) << session->dump();
    quit();
}

TEST_F(BrowserKeys, EnteringAndLeavingFromAScrolledParent) {
    ArchiveNode root = archiveDirectory("");
    for (int i = 0; i < 60; ++i) {
        char name[8];
        std::snprintf(name, sizeof name, "D%02d", i);
        ArchiveNode sub = numberedFiles(name, "IN", 2);
        root.children.push_back(sub);
    }
    start(root);
    session->sendKeys("End");
    press("Up", 9);
    ASSERT_TRUE(status(51, 60)) << session->dump();
    session->sendKeys("Enter");
    ASSERT_TRUE(status(1, 3)) << session->dump();
    ASSERT_TRUE(rowShows(3, "║..          │  UP-DIR  │►NO-RIP◄│ --- ║")) << session->dump();
    ASSERT_TRUE(rowShows(4, "║IN0000   BIN│         4│")) << session->dump();
    session->sendKeys("Enter");
    ASSERT_TRUE(status(51, 60)) << session->dump();
    ASSERT_TRUE(rowShows(3, "║D11 ")) << session->dump();
    ASSERT_TRUE(rowShows(22, "║D50 ")) << session->dump();
    quit();
}

TEST_F(BrowserKeys, EscPromptTurnsTheTitleRedAndEatsTheNextKey) {
    ArchiveNode root = archiveDirectory("", {archiveFile("A.TXT", "alpha")});
    start(root);
    std::string normal = titleWithColours();
    session->sendKeys("Escape");
    ASSERT_TRUE(session->waitUntil([&](const std::string&) {
        return titleWithColours() != normal;
    })) << session->dump();
    std::string alert = titleWithColours();
    session->sendKeys("F2");
    ASSERT_TRUE(session->waitUntil([&](const std::string&) { return titleWithColours() != alert; }))
        << session->dump();
    EXPECT_FALSE(std::filesystem::exists(dir.file("A.TXT")));
    EXPECT_TRUE(rowShows(3, "║A        TXT│         5│")) << session->dump();
    EXPECT_EQ(session->row(3).find("yes"), std::string::npos);
    quit();
    EXPECT_EQ(session->screen().find("'"), std::string::npos) << session->dump();
}

TEST_F(BrowserKeys, EveryKeyOfTheTable) {
    ArchiveNode sub = numberedFiles("SUB", "S", 3);
    ArchiveNode root =
        archiveDirectory("", {sub, archiveFile("A.TXT", "alpha"), archiveFile("B.TXT", "bravo"),
                              archiveFile("C.BIN", "charlie"), archiveFile("README", "readme")});
    // Listing: SUB, A.TXT, B.TXT, C.BIN, README.
    start(root);
    auto selectedList = [&] {
        std::filesystem::remove(dir.file("GAME.sel"));
        session->sendKeys("M-F3");
        EXPECT_TRUE(session->waitUntil(
            [&](const std::string&) { return std::filesystem::exists(dir.file("GAME.sel")); }));
        std::string list = readFile(dir.file("GAME.sel"));
        std::string names;
        for (const char* name : {"A.TXT", "B.TXT", "C.BIN", "README"})
            names += list.find(name) != std::string::npos ? '1' : '0';
        return names;
    };

    // F1 shows help until Esc; other keys leave it there (Shift-F1, the
    // second help box: viewer_find_test.cpp).
    session->sendKeys("F1");
    ASSERT_TRUE(session->waitFor("Keyboard Commands")) << session->dump();
    session->sendKeys("Enter", "C-l");
    session->sendKeys("Escape");
    ASSERT_TRUE(session->waitForGone("Keyboard Commands")) << session->dump();
    EXPECT_EQ(session->screen().find("Info"), std::string::npos) << session->dump();

    // Ctrl-L shows the info box over the right panel until any key.
    session->sendKeys("C-l");
    ASSERT_TRUE(session->waitFor("press any key")) << session->dump();
    EXPECT_NE(session->screen().find("bytes in 5 file(s)"), std::string::npos) << session->dump();
    session->sendKeys("x");
    ASSERT_TRUE(session->waitForGone("press any key")) << session->dump();
    ASSERT_TRUE(rowShows(1, "╔════════════╤══════════╤════════╤═════╗╔════════════╤"))
        << session->dump();

    // Down, Insert, Right, Left, Up.
    session->sendKeys("Down", "IC");  // selects A.TXT
    session->sendKeys("Down");
    session->sendKeys("Right");  // selects B.TXT, cursor to C.BIN
    session->sendKeys("Right");  // selects C.BIN, cursor to README
    session->sendKeys("Left");   // selects README, cursor to C.BIN
    session->sendKeys("Up");     // cursor to B.TXT
    ASSERT_TRUE(status(3, 5)) << session->dump();
    EXPECT_EQ(selectedList(), "1111");
    session->sendKeys("*");
    EXPECT_EQ(selectedList(), "0000");
    // "+" and "-" with masks.
    session->sendKeys("+");
    ASSERT_TRUE(session->waitFor("select files")) << session->dump();
    session->sendKeys("DC", "DC", "DC");
    session->sendText("*.TXT");
    session->sendKeys("Enter");
    ASSERT_TRUE(session->waitForGone("select files")) << session->dump();
    EXPECT_EQ(selectedList(), "1100");
    session->sendKeys("-");
    ASSERT_TRUE(session->waitFor("Mask: *.TXT")) << session->dump();
    session->sendText("B");
    session->sendKeys("Enter");
    ASSERT_TRUE(session->waitForGone("unselect files")) << session->dump();
    EXPECT_EQ(selectedList(), "1000");
    // F3 writes the full list.
    session->sendKeys("F3");
    ASSERT_TRUE(session->waitUntil([&](const std::string&) {
        return std::filesystem::exists(dir.file("GAME.lst"));
    })) << session->dump();
    // F2 rips the selected file, not the one under the cursor, and marks it.
    session->sendKeys("F2");
    ASSERT_TRUE(rowShows(4, "║A        TXT│         5│")) << session->dump();
    ASSERT_TRUE(rowShows(4, " yes ║")) << session->dump();
    EXPECT_EQ(readFile(dir.file("A.TXT")), "alpha");
    EXPECT_FALSE(std::filesystem::exists(dir.file("B.TXT")));
    EXPECT_EQ(selectedList(), "0000");
    // Enter on SUB and on its "..." entry; Enter on a file does nothing.
    session->sendKeys("Enter");
    session->sendKeys("Home", "Enter");
    ASSERT_TRUE(status(1, 4)) << session->dump();
    session->sendKeys("Enter");
    ASSERT_TRUE(status(1, 5)) << session->dump();
    // PgDn, PgUp, End on a short listing; letters and keypad Enter do nothing.
    session->sendKeys("NPage");
    ASSERT_TRUE(status(5, 5)) << session->dump();
    session->sendKeys("PPage");
    ASSERT_TRUE(status(1, 5)) << session->dump();
    session->sendKeys("End", "q", "7", "KPEnter");
    ASSERT_TRUE(status(5, 5)) << session->dump();
    quit();
}

// A key typed right after Esc arrives with it in one burst: it must still be
// read as Esc, then that key.
TEST_F(BrowserKeys, EscFollowedQuicklyByAnotherKeyIsTwoKeys) {
    start(archiveDirectory("", {archiveFile("A.TXT", "alpha"), archiveFile("B.TXT", "bravo")}));
    // Esc, *: the prompt takes the *, and nothing is inverted.
    session->sendKeys("Escape", "*", "M-F3");
    ASSERT_TRUE(session->waitUntil([&](const std::string&) {
        return std::filesystem::exists(dir.file("GAME.sel"));
    })) << session->dump();
    std::string list = readFile(dir.file("GAME.sel"));
    EXPECT_EQ(list.find("A.TXT"), std::string::npos) << list;
    EXPECT_EQ(list.find("B.TXT"), std::string::npos) << list;
    // In the viewer, Esc then Alt-F7: back to the panels, then find by name.
    session->sendKeys("F4");
    ASSERT_TRUE(rowShows(1, "alpha")) << session->dump();
    session->sendKeys("Escape", "M-F7");
    ASSERT_TRUE(rowShows(11, "find by name")) << session->dump();
    session->sendKeys("Escape");
    ASSERT_TRUE(rowShows(2, "Entry")) << session->dump();
    ASSERT_TRUE(status(1, 2)) << session->dump();
    quit();
}

TEST_F(BrowserKeys, SmallWindowSaysTheSizeNeededAndThePanelsComeBack) {
    start(numberedFiles("", "F", 50));
    const std::string panels = session->screen();
    session->resize(70, 25);
    // "window too small: needs 80 x 25, now 70 x 25" centred in 70 columns.
    const std::string notice = std::string(13, ' ') +
                               "window too small: needs 80 x 25, now 70 x 25" +
                               std::string(13, ' ');
    ASSERT_TRUE(session->waitUntil([&](const std::string&) { return session->row(12) == notice; }))
        << session->dump();
    std::string small = session->screen();
    EXPECT_EQ(small.find("file from"), std::string::npos) << session->dump();
    EXPECT_EQ(small.find("║"), std::string::npos) << session->dump();
    // Big enough again: the panels as they were, at once.
    session->resize(80, 25);
    ASSERT_TRUE(session->waitUntil([&](const std::string& screen) { return screen == panels; }))
        << session->dump();
    // Keys pressed while the window is small still act, and show once it is big enough.
    session->resize(79, 30);
    ASSERT_TRUE(session->waitFor("now 79 x 30")) << session->dump();
    session->sendKeys("End");
    session->resize(100, 30);
    ASSERT_TRUE(status(50, 50)) << session->dump();
    quit();
}

TEST(BrowserTerminal, TerminalsThatCannotShowTheScreenAreRefusedBeforeDrawing) {
    TempDir dir;
    writeArchive(dir, archiveDirectory("", {archiveFile("A.TXT", "a")}), "game.dir");
    const struct {
        const char* term;
        const char* message;
    } cases[] = {
        {"dumb", "dirrip: the terminal 'dumb' (TERM) cannot place the cursor"},
        {"no-such-terminal", "dirrip: the terminal type 'no-such-terminal' (TERM) is unknown"},
    };
    for (const auto& c : cases) {
        TmuxSession::Options options;
        options.workingDirectory = dir.path();
        TmuxSession session(
            "TERM=" + std::string(c.term) + " " + TmuxSession::quote(DIRRIP_BINARY) + " game.dir",
            options);
        int exitStatus = -1;
        ASSERT_TRUE(session.waitForExit(5000, &exitStatus)) << session.dump();
        EXPECT_EQ(exitStatus, 1) << c.term;
        std::string screen = session.screen();
        EXPECT_EQ(screen.rfind(c.message, 0), 0u) << session.dump();
        EXPECT_NE(screen.find("full-screen terminal"), std::string::npos) << session.dump();
        // Nothing else was drawn: the message (two rows, wrapped) and blank rows.
        for (int r = 2; r < 24; ++r) {
            EXPECT_EQ(session.row(r), std::string(80, ' ')) << c.term << session.dump();
        }
    }
}

}  // namespace
