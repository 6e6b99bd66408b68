// Find by name, the viewer and the second help page on the in-memory console.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "browser/boxes.h"
#include "browser/find_list.h"
#include "browser/help_more.h"
#include "browser/mainloop.h"
#include "browser/panels.h"
#include "browser/viewer.h"
#include "browser_fixture.h"
#include "console/screen.h"
#include "platform/archive_file.h"
#include "support/archive_fixture.h"

namespace {

using FindViewerTest = BrowserScreenTest;

TEST(FindList, CursorMovesStopAtTheEndsAndStayShown) {
    struct Case {
        int count, cursor, top, step;
        int wantCursor, wantTop;
    } cases[] = {
        {5, 0, 0, -1, 0, 0},     {5, 4, 0, 1, 4, 0},        {30, 17, 0, 1, 18, 1},
        {30, 18, 1, -1, 17, 1},  {30, 1, 1, -1, 0, 0},      {30, 0, 0, 18, 18, 1},
        {30, 18, 1, 18, 29, 12}, {30, 29, 12, -18, 11, 11}, {30, 29, 12, -30, 0, 0},
        {0, 0, 0, 1, 0, 0},
    };
    for (const Case& c : cases) {
        FindListState list{c.count, c.cursor, c.top};
        moveFindCursor(list, c.step, FIND_LIST_ROWS);
        EXPECT_EQ(list.cursor, c.wantCursor) << c.count << " " << c.cursor << " " << c.step;
        EXPECT_EQ(list.top, c.wantTop) << c.count << " " << c.cursor << " " << c.step;
    }
}

TEST_F(FindViewerTest, FoundPathsAndTitle) {
    Entry* maps = add(root, "MAPS", KIND_SUBDIR);
    Entry* file = add(maps, "E1M1.MAP", KIND_FILE);
    EXPECT_EQ(foundPathCells(file, 16), "MAPS\\E1M1.MAP   ");
    EXPECT_EQ(foundPathCells(file, 10), "...1M1.MAP");  // long paths keep their end
    EXPECT_EQ(foundPathCells(maps, 8), "MAPS\\   ");    // directories end in '\'
    EXPECT_EQ(foundTitle(1, "*.M~P"), "1 found for *.M?P");
}

TEST_F(FindViewerTest, EnterOnAFoundEntryPlacesThePanelsAsGoingBackWould) {
    Entry* maps = add(root, "MAPS", KIND_SUBDIR);
    Entry* deep = add(maps, "DEEP", KIND_SUBDIR);
    addFiles(deep, 60);
    Entry* target = deep->children[50];  // "..." first, so FILE0049.BIN at index 50
    ASSERT_EQ(showEntryInPanels(browser.panel, target), 1);
    EXPECT_EQ(browser.panel.current, deep);
    EXPECT_EQ(browser.panel.cursor, 50);
    EXPECT_EQ(browser.panel.top, 11);
    EXPECT_EQ(root->savedCursor, 0);  // MAPS is the root's first child
    EXPECT_EQ(maps->savedCursor, 1);  // DEEP follows "..."
    ASSERT_EQ(showEntryInPanels(browser.panel, deep->children[5]), 1);
    EXPECT_EQ(browser.panel.top, 0);
    EXPECT_EQ(showEntryInPanels(browser.panel, root), 0);  // the root has no place to show
}

TEST_F(FindViewerTest, AltF7FindsAndEnterGoesThere) {
    add(root, "A.TXT", KIND_FILE);
    Entry* maps = add(root, "MAPS", KIND_SUBDIR);
    addFiles(maps, 3);
    show();
    // The mask starts as "*": accept it, go down twice, Enter.
    console.pushKeys({KEY_FIND_BY_NAME, KEY_ENTER});
    pressKeys({KEY_DOWN, KEY_DOWN, KEY_ENTER});
    EXPECT_EQ(browser.panel.current, maps);
    EXPECT_EQ(browser.panel.cursor, 2);  // MAPS, FILE0000.BIN, FILE0001.BIN: the third found
    EXPECT_EQ(console.keys.size(), 0u);
    // The panel frames are put back.
    drawMainScreen();
    EXPECT_EQ(cells(2, 0, 40), "║   Entry    │   Size   │ Offset │ RIP ║");
}

TEST_F(FindViewerTest, FoundListShowsCountAndPathsAndEscLeavesThePanels) {
    add(root, "A.TXT", KIND_FILE);
    Entry* maps = add(root, "MAPS", KIND_SUBDIR);
    add(maps, "B.TXT", KIND_FILE);
    show();
    console.pushKeys({KEY_FIND_BY_NAME, KEY_BACKSPACE, '*', '.', 't', 'x', 't', KEY_ENTER});
    console.pushKeys({KEY_ESC});
    Cell before[SCREEN_CELLS];
    std::memcpy(before, screen.draw, sizeof before);
    // Stop before the Esc to look at the list.
    KeyCode key = readKey();
    console.keys.pop_back();
    handleKey(key);
    SCOPED_TRACE(console.dump());
    EXPECT_EQ(cells(2, 2, 30), "╔═► 2 found for *.txt ◄═══════");
    EXPECT_EQ(cells(3, 3, 16), " MAPS\\B.TXT     ");
    EXPECT_EQ(cells(4, 3, 16), " A.TXT          ");
    EXPECT_EQ(runs(3, 3, 74), "30x74");  // the cursor bar
    EXPECT_EQ(browser.panel.current, root);
    // KEY_NONE (no more keys) closed it: the draw buffer is as before.
    EXPECT_EQ(std::memcmp(before, screen.draw, sizeof before), 0);
}

// Runs find by name with the mask "*" and then `keys`; the found list stays
// on the console as last shown (the end of the keys closes it). The mask
// field keeps what an earlier test typed, so "*" is typed over it.
void findAllThen(MemoryConsole& console, std::initializer_list<KeyCode> keys) {
    console.pushKeys({KEY_FIND_BY_NAME, '*'});
    for (int i = 0; i < MASK_MAXIMUM; ++i) console.pushKeys({KEY_DELETE});
    console.pushKeys({KEY_ENTER});
    console.pushKeys(keys);
    handleKey(readKey());
}

TEST_F(FindViewerTest, OnlyTheCursorRowOfALongFoundListIsHighlighted) {
    addFiles(root, 30);  // 30 found, 18 rows shown
    show();
    // The whole screen row of list row r showing found entry `index`: the
    // panels' first two cells, the list, the shadow's column and the frame.
    auto row = [](int index) {
        char name[16];
        std::snprintf(name, sizeof name, "FILE%04d.BIN", index);
        return "║F║ " + std::string(name) + std::string(61, ' ') + "║ ║";
    };
    // Which list row (0-17) has the cursor colour, and the first index shown.
    auto expectCursorOn = [&](int cursorRow, int top) {
        SCOPED_TRACE(console.dump());
        for (int r = 0; r < FIND_LIST_ROWS; ++r) {
            EXPECT_EQ(console.row(3 + r), row(top + r)) << r;
            // The panels' own cursor is on the first file, under list row 0.
            std::string runs = r == 0 ? "1Bx1 30x1 " : "1Bx2 ";
            runs += r == cursorRow ? "87x1 30x74 87x1" : "87x76";
            EXPECT_EQ(console.rowAttributeRuns(3 + r), runs + " 1Bx1 03x1") << r;
        }
    };
    findAllThen(console, {KEY_END});
    expectCursorOn(17, 12);
    findAllThen(console, {KEY_END, KEY_UP, KEY_UP, KEY_UP});
    expectCursorOn(14, 12);
    findAllThen(console, {KEY_END, KEY_PGUP});
    expectCursorOn(0, 11);
    findAllThen(console, {KEY_END, KEY_HOME, KEY_DOWN});
    expectCursorOn(1, 0);
}

TEST_F(FindViewerTest, SecondHelpPageComesWithShiftF1AndStaysUntilEsc) {
    addFiles(root, 3);
    show();
    pressKeys({KEY_MORE_HELP, KEY_F1, KEY_ENTER, KEY_MORE_HELP, KEY_ESC, 'x'});
    EXPECT_EQ(console.keys.size(), 1u);  // the keys before Esc were used up by the box
    SCOPED_TRACE(console.dump());
    EXPECT_EQ(cells(3, 20, 40), "╔══► More Commands ◄═══════════════════╗");
    EXPECT_EQ(cells(5, 20, 40), "║ f4        - view file as text/hex    ║");
    EXPECT_EQ(cells(6, 20, 40), "║ alt-f7    - find entries by name     ║");
    EXPECT_EQ(cells(9, 20, 40), "║ ^z        - undo the last change     ║");
    EXPECT_EQ(cells(20, 20, 40), "║ esc       - close the list           ║");
    EXPECT_EQ(cells(21, 20, 40), "╚═════════► press esc to leave help ◄══╝");
    EXPECT_EQ(runs(6, 20, 40), "87x2 8Fx6 87x32");
    for (int row = 4; row < 21; ++row) {
        EXPECT_EQ(cells(row, 20, 1), "║") << row;
        EXPECT_EQ(cells(row, 59, 1), "║") << row;
    }
}

// Keeps every flushed frame, so that the viewer's pages can be looked at
// after it has put the panels back.
class RecordingConsole : public MemoryConsole {
  public:
    void flush(const Cell* cells) override {
        MemoryConsole::flush(cells);
        std::vector<std::string> rows;
        for (int r = 0; r < SCREEN_ROWS; ++r) rows.push_back(row(r));
        frames.push_back(rows);
    }
    std::vector<std::vector<std::string>> frames;
};

TEST_F(FindViewerTest, ViewerShowsTheFileAndPutsThePanelsBack) {
    TempDir dir;
    // The entry claims 10 bytes more than the archive holds.
    std::string data = "first line\r\nsecond\tline\n";
    std::string path = dir.write("a.dir", std::vector<uint8_t>(data.begin(), data.end()));
    ArchiveFile file;
    ASSERT_EQ(file.open(path.c_str()), 1);
    Entry* maps = add(root, "MAPS", KIND_SUBDIR);
    Entry* entry = add(maps, "NOTES.TXT", KIND_FILE, static_cast<uint32_t>(data.size()) + 10, 0);
    show();
    Cell before[SCREEN_CELLS];
    std::memcpy(before, screen.draw, sizeof before);

    RecordingConsole recorder;
    setConsoleBackend(&recorder);
    recorder.pushKeys({KEY_END, KEY_VIEW, KEY_VIEW_LEAVE, 'x'});
    viewEntry(file, entry);
    EXPECT_EQ(recorder.keys.size(), 1u);  // F10 left the viewer
    ASSERT_EQ(recorder.frames.size(), 4u);
    const std::vector<std::string>& text = recorder.frames[0];
    const std::vector<std::string>& hex = recorder.frames[2];
    std::string bar(80, ' ');
    EXPECT_EQ(text[0].substr(0, 20), " MAPS\\NOTES.TXT     ");
    EXPECT_EQ(text[0].substr(49), "          34 bytes  text  70%  ");
    EXPECT_EQ(text[1].substr(0, 12), "first line  ");
    EXPECT_EQ(text[2].substr(0, 20), "second  line        ");
    EXPECT_NE(text[3].find(" the archive ends here: 10 of 34 bytes missing "), std::string::npos);
    EXPECT_EQ(text[4], bar);
    EXPECT_EQ(text[24].rfind(" ↑/↓/pgup/pgdn/home/end: move ", 0), 0u);
    EXPECT_EQ(hex[0].substr(49), "          34 bytes  hex   70%  ");
    EXPECT_EQ(hex[1],
              "00000000  66 69 72 73 74 20 6C 69  6E 65 0D 0A 73 65 63 6F  "
              "first line♪◙seco    ");
    EXPECT_EQ(std::memcmp(before, screen.draw, sizeof before), 0);
    EXPECT_EQ(recorder.frames[3][2], cells(2, 0, 80));  // the panels, as they were
    setConsoleBackend(&console);
}

}  // namespace
