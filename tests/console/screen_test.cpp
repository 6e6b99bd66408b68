#include "console/screen.h"

#include <gtest/gtest.h>

#include "console/keyboard.h"
#include "console_fixture.h"

namespace {

std::string padded(const std::string& text) {
    return text + std::string(80 - text.size(), ' ');
}

}  // namespace

using ScreenTest = ConsoleTest;

TEST_F(ScreenTest, RunsWithMarkup) {
    struct Case {
        const char* text;
        unsigned count;
        const char* shown;  // first cells of row 0
        const char* runs;   // attributes of the whole row
    };
    const Case cases[] = {
        {"~esc~", 3, "esc", "8Fx3 00x77"},
        {"~esc~", 5, "esc", "8Fx3 87x2 00x75"},
        {"a~~b", 3, "a~b", "87x1 8Fx2 00x77"},  // a marker right after a toggle is a character
        {"abc~", 5, "abc", "87x3 8Fx2 00x75"},  // padding keeps the attribute in force
        {"abcdef", 3, "abc", "87x3 00x77"},
        {"abc", 0, "", "00x80"},
        {"~a~b~c", 3, "abc", "8Fx1 87x1 8Fx1 00x77"},
    };
    for (const Case& c : cases) {
        screenClear();
        putMarkup(0, 0, ATTR_BOX, c.text, c.count);
        EXPECT_EQ(shownRow(0), padded(c.shown)) << c.text << " count " << c.count;
        EXPECT_EQ(console.rowAttributeRuns(0), c.runs) << c.text << " count " << c.count;
    }
}

TEST_F(ScreenTest, PutMarkedUsesItsOwnMarkerAndHighlight) {
    putMarked(3, 10, 0x1B, 0x1E, "a*b~c*d", 6, '*');
    EXPECT_EQ(shownRow(3), padded("          ab~cd"));
    EXPECT_EQ(console.rowAttributeRuns(3), "00x10 1Bx1 1Ex3 1Bx2 00x64");
    putText(4, 0, 0x30, "~x*", 4);
    EXPECT_EQ(shownRow(4), padded("~x*"));
    EXPECT_EQ(console.rowAttributeRuns(4), "30x4 00x76");
    // A zero character is shown as a blank but stays 0 in the buffer.
    EXPECT_EQ(console.rowBytes(4).substr(0, 4), std::string("~x*\0", 4));
}

TEST_F(ScreenTest, ShadowDarkensBelowAndRightOfTheBox) {
    for (Cell& cell : screen.draw) cell = Cell{'x', 0x1F};
    putShadow(4, 20, 20, 60);
    screenFlush();
    for (int r = 0; r < SCREEN_ROWS; ++r) {
        for (int c = 0; c < SCREEN_COLS; ++c) {
            bool shaded = (r == 21 && c >= 22 && c <= 61) || (c == 61 && r >= 5 && r <= 20);
            const Cell& cell = console.frame[r * SCREEN_COLS + c];
            ASSERT_EQ(cell.attributes, shaded ? 0x07 : 0x1F) << "row " << r << " column " << c;
            ASSERT_EQ(cell.character, 'x');
        }
    }
}

TEST_F(ScreenTest, RunsAndShadowsLeavingTheGridAreClipped) {
    putText(24, 70, 0x1F, "0123456789ABCDEFGHIJ", 20);
    putText(-1, 0, 0x1F, "xyz", 3);
    putText(30, 0, 0x1F, "xyz", 3);
    putMarkup(24, 79, 0x10, "~long run~", 500);
    putShadow(10, 70, 23, 79);  // its last row lies below the grid, its column right of it
    putShadow(-5, -5, 30, 100);
    screenFlush();
    EXPECT_EQ(console.row(24), std::string(70, ' ') + "012345678l") << console.dump();
    EXPECT_EQ(console.rowAttributeRuns(24), "00x70 1Fx2 07x8");
    EXPECT_EQ(console.row(0), padded(""));
    EXPECT_EQ(console.rowAttributeRuns(0), "00x80");
}

TEST_F(ScreenTest, CursorShapesGiveSizes) {
    struct Case {
        uint16_t shape;
        int size;
    };
    for (Case c : {Case{CURSOR_HIDDEN, 0}, Case{CURSOR_OVERWRITE, 12}, Case{CURSOR_INSERT, 50},
                   Case{0x000F, 93}, Case{0x0F0F, 0}}) {
        console.cursorSize = -1;
        cursorShape(c.shape);
        EXPECT_EQ(console.cursorSize, c.size) << std::hex << c.shape;
    }
}

TEST_F(ScreenTest, ClearFlushSaveAndRestore) {
    for (Cell& cell : console.frame) cell = Cell{'#', 0x47};
    console.setCursor(12, 7);

    screenSave();
    EXPECT_EQ(screen.savedColumn, 12);
    EXPECT_EQ(screen.savedRow, 7);

    putText(0, 0, 0x1F, "drawn", 5);
    screenClear();
    screenFlush();
    for (const Cell& cell : console.frame) {
        ASSERT_EQ(cell.character, 0);
        ASSERT_EQ(cell.attributes, 0);
    }
    cursorSet(3, 4);
    int column = 0, row = 0;
    cursorGet(&column, &row);
    EXPECT_EQ(column, 3);
    EXPECT_EQ(row, 4);

    screenRestore();
    EXPECT_EQ(console.row(10), std::string(80, '#'));
    EXPECT_EQ(console.rowAttributeRuns(24), "47x80");
    EXPECT_EQ(console.cursorColumn, 12);
    EXPECT_EQ(console.cursorRow, 7);
    EXPECT_EQ(console.flushCount, 1);

    setConsoleTitle("[C:\\A.DIR]-title \x10");
    EXPECT_EQ(console.title, "[C:\\A.DIR]-title \x10");
}

TEST_F(ScreenTest, WindowTooSmallShowsTheSizesUntilItIsBigEnough) {
    putText(0, 0, ATTR_TITLE, "panels", 80);
    struct Case {
        int columns, rows;
        int row;            // where the notice stands
        const char* shown;  // that whole row
        const char* runs;   // its attributes
    } cases[] = {
        {60, 20, 9,
         "        window too small: needs 80 x 25, now 60 x 20                            ",
         "00x8 C0x44 00x28"},
        {80, 24, 11,
         "                  window too small: needs 80 x 25, now 80 x 24                  ",
         "00x18 C0x44 00x18"},
        // Wider than the grid but too low: centred in the grid's 80 columns.
        {120, 10, 4,
         "                 window too small: needs 80 x 25, now 120 x 10                  ",
         "00x17 C0x45 00x18"},
        {30, 9, 4,
         "    needs 80x25, now 30x9                                                       ",
         "00x4 C0x21 00x55"},
        {10, 3, 1,
         "needs 80x2                                                                      ",
         "C0x10 00x70"},
    };
    for (const Case& c : cases) {
        console.columns = c.columns;
        console.rows = c.rows;
        screenFlush();
        SCOPED_TRACE(console.dump());
        for (int r = 0; r < SCREEN_ROWS; ++r) {
            EXPECT_EQ(console.row(r), r == c.row ? c.shown : padded(""))
                << c.columns << "x" << c.rows;
            EXPECT_EQ(console.rowAttributeRuns(r), r == c.row ? c.runs : "00x80") << c.columns;
        }
    }
    // Big enough again: the last frame comes back without anything drawn anew.
    screenClear();
    console.columns = 81;
    console.rows = 25;
    screenRepaint();
    EXPECT_EQ(console.row(0), padded("panels"));
    EXPECT_EQ(console.rowAttributeRuns(0), "30x80");
}

TEST(ScreenWithoutConsole, DrawsAndReadsNoKey) {
    setConsoleBackend(nullptr);
    screenClear();
    putText(1, 1, 0x1F, "ok", 2);
    screenFlush();
    screenSave();
    screenRestore();
    cursorShape(CURSOR_INSERT);
    setConsoleTitle("nobody sees this");
    EXPECT_EQ(screen.draw[81].character, 'o');
    EXPECT_EQ(readKey(), KEY_NONE);
}
