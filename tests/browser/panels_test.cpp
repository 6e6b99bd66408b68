#include <gtest/gtest.h>

#include "browser/mainloop.h"
#include "browser/panels.h"
#include "browser_fixture.h"
#include "console/screen.h"

namespace {

using PanelsTest = BrowserScreenTest;

TEST_F(PanelsTest, TitleLineFitsBeforeTheStatusField) {
    std::string title = formatTitleLine();
    EXPECT_EQ(title.rfind(" DIR (KESTRALOS) ripper v1.52. ", 0), 0u);
    EXPECT_LE(title.size(), 58u);
    EXPECT_EQ(title.back(), ' ');
}

TEST_F(PanelsTest, StaticScreenHintLineAndStatusField) {
    addFiles(root, 25);
    show();
    SCOPED_TRACE(console.dump());
    std::string title = formatTitleLine();
    EXPECT_EQ(cells(0, 0, 58), title + std::string(58 - title.size(), ' '));
    EXPECT_EQ(cells(0, 58, 22), "    1 file from 25    ");
    EXPECT_EQ(runs(0, 0, 80), "30x58 3Ex21 30x1");
    EXPECT_EQ(console.row(1),
              "╔════════════╤══════════╤════════╤═════╗"
              "╔════════════╤══════════╤════════╤═════╗");
    EXPECT_EQ(console.row(2),
              "║   Entry    │   Size   │ Offset │ RIP ║"
              "║   Entry    │   Size   │ Offset │ RIP ║");
    EXPECT_EQ(runs(2, 0, 40), "1Bx4 1Ex5 1Bx8 1Ex4 1Bx5 1Ex6 1Bx3 1Ex3 1Bx2");
    EXPECT_EQ(console.row(23),
              "╚════════════╧══════════╧════════╧═════╝"
              "╚════════════╧══════════╧════════╧═════╝");
    EXPECT_EQ(console.row(24),
              " insert: select, ↑/↓: move, tab: switch panel, f2: rip entry, esc (twice): exit ");
    EXPECT_EQ(runs(24, 0, 16), "87x1 8Fx7 87x8");
}

TEST_F(PanelsTest, StatusFieldWithSixDigitCountsShowsThemWhole) {
    addFiles(root, 3);
    browser.panel.cursor = 2;
    drawStatusField();
    screenFlush();
    EXPECT_EQ(cells(0, 58, 21), "    3 file from 3    ");
    // A count too wide for the field must not be cut off.
    root->children.resize(123456, root->children[0]);
    browser.panel.cursor = 100000;
    drawStatusField();
    screenFlush();
    EXPECT_EQ(cells(0, 56, 23), "100001 file from 123456");
    root->children.resize(3);
}

TEST_F(PanelsTest, RowFormatsOfEveryKind) {
    Entry* sub = add(root, "SUB", KIND_SUBDIR, 44, 0x2C);
    add(sub, "README.TXT", KIND_FILE, 1234, 0x1000);
    add(sub, "A.B", KIND_FILE, 7, 0x10);
    add(sub, "LONGFILENAME.DATA", KIND_FILE, 0, 255);
    add(sub, "NOEXT", KIND_FILE, 3000000000u, 0xFFFFFFFF);
    add(sub, "DEEPER", KIND_SUBDIR, 0, 0);
    add(sub, "ODDKIND", 9, 0, 0);
    browser.panel.current = sub;
    // Listing: "...", DEEPER, A.B, LONGFILENAME.DATA, NOEXT, README.TXT, ODDKIND.
    sub->children.back()->info->ripped = 1;  // the kind-9 entry sorts last
    child(5)->info->ripped = 1;              // README.TXT
    browser.panel.cursor = 6;
    show();
    SCOPED_TRACE(console.dump());
    const char* expected[] = {
        "║..          │  UP-DIR  │►NO-RIP◄│ --- ║", "║DEEPER      │  SUBDIR  │►NO-RIP◄│ --- ║",
        "║A          B│         7│00000010│     ║", "║LONGFILE DAT>         0│000000FF│     ║",
        "║NOEXT       │3000000000│FFFFFFFF│     ║", "║README   TXT│      1234│00001000│ yes ║",
        "║ODDKIND     │TERMINATOR│►NO-RIP◄│ --- ║", "║            │          │        │     ║",
    };
    for (int i = 0; i < 8; ++i) EXPECT_EQ(cells(3 + i, 0, 40), expected[i]) << i;
    EXPECT_EQ(cells(3, 40, 40), expected[7]);
    EXPECT_EQ(cells(22, 40, 40), expected[7]);
}

TEST_F(PanelsTest, RowAttributesBySelectionAndCursor) {
    Entry* sub = add(root, "SUB", KIND_SUBDIR);
    add(sub, "A.BIN", KIND_FILE, 1, 1);
    add(sub, "B.BIN", KIND_FILE, 1, 1);
    browser.panel.current = sub;
    child(2)->info->selected = 1;
    struct Case {
        int cursor;
        const char* updir;
        const char* plainFile;
        const char* selectedFile;
    };
    const Case cases[] = {
        {0, "1Bx1 34x38 1Bx1", "1Bx40", "1Bx1 1Fx12 1Bx1 1Fx10 1Bx1 1Fx8 1Bx1 1Fx5 1Bx1"},
        {1, "1Bx1 13x38 1Bx1", "1Bx1 30x38 1Bx1", "1Bx1 1Fx12 1Bx1 1Fx10 1Bx1 1Fx8 1Bx1 1Fx5 1Bx1"},
        {2, "1Bx1 13x38 1Bx1", "1Bx40", "1Bx1 3Fx38 1Bx1"},
    };
    for (const Case& c : cases) {
        browser.panel.cursor = c.cursor;
        show();
        EXPECT_EQ(runs(3, 0, 40), c.updir) << c.cursor;
        EXPECT_EQ(runs(4, 0, 40), c.plainFile) << c.cursor;
        EXPECT_EQ(runs(5, 0, 40), c.selectedFile) << c.cursor;
        EXPECT_EQ(runs(6, 0, 40), "1Bx40") << c.cursor;  // no child
    }
}

TEST_F(PanelsTest, NamesHoldingTheMarkerKeepTheRowLayout) {
    add(root, "A~B.T~T", KIND_FILE, 5, 6);
    show();
    EXPECT_EQ(cells(3, 0, 40), "║A~B      T~T│         5│00000006│     ║");
    EXPECT_EQ(runs(3, 0, 40), "1Bx1 30x38 1Bx1");
    add(root, "Z~Z", KIND_FILE, 1, 1);
    child(1)->info->selected = 1;
    show();
    EXPECT_EQ(cells(4, 0, 40), "║Z~Z         │         1│00000001│     ║");
    EXPECT_EQ(runs(4, 0, 40), "1Bx1 1Fx12 1Bx1 1Fx10 1Bx1 1Fx8 1Bx1 1Fx5 1Bx1");
}

TEST_F(PanelsTest, ControlBytesInNamesShowAsGlyphs) {
    add(root, "\x1B[2J", KIND_FILE, 1, 1);
    show();
    EXPECT_EQ(cells(3, 0, 14), "║←[2J        │");
}

TEST_F(PanelsTest, NameFillingTheWholeFieldShowsTheNormalSeparator) {
    add(root, "ABCDEFGH.TXT", KIND_FILE, 1, 1);  // base of exactly 8, extension of exactly 3
    show();
    EXPECT_EQ(cells(3, 0, 14), "║ABCDEFGH TXT│");
}

TEST_F(PanelsTest, ScrolledListingMapsChildrenToBothPanels) {
    addFiles(root, 100);
    browser.panel.top = 30;
    browser.panel.cursor = 55;
    show();
    EXPECT_EQ(cells(3, 0, 13), "║FILE0030 BIN");
    EXPECT_EQ(cells(22, 0, 13), "║FILE0049 BIN");
    EXPECT_EQ(cells(3, 40, 13), "║FILE0050 BIN");
    EXPECT_EQ(cells(8, 40, 13), "║FILE0055 BIN");
    EXPECT_EQ(runs(8, 40, 40), "1Bx1 30x38 1Bx1");
    EXPECT_EQ(cells(22, 40, 13), "║FILE0069 BIN");
    EXPECT_EQ(cells(0, 58, 21), "   56 file from 100  ");
}

TEST_F(PanelsTest, EnterAndLeaveRememberTheCursor) {
    addFiles(root, 3);
    Entry* sub = nullptr;
    for (int i = 0; i < 60; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "DIR%02d", i);
        Entry* made = add(root, name, KIND_SUBDIR);
        if (i == 50)
            sub = made;
    }
    addFiles(sub, 2);
    browser.panel.top = 20;
    browser.panel.cursor = 50;
    ASSERT_EQ(child(50), sub);
    enterDirectory();
    EXPECT_EQ(browser.panel.current, sub);
    EXPECT_EQ(browser.panel.cursor, 0);
    EXPECT_EQ(browser.panel.top, 0);
    leaveDirectory();
    EXPECT_EQ(browser.panel.current, root);
    EXPECT_EQ(browser.panel.cursor, 50);
    EXPECT_EQ(browser.panel.top, 11);

    browser.panel.top = 0;
    browser.panel.cursor = 5;
    enterDirectory();
    leaveDirectory();
    EXPECT_EQ(browser.panel.cursor, 5);
    EXPECT_EQ(browser.panel.top, 0);
}

TEST_F(PanelsTest, DirectoryNamedLikeAPatternOpensItself) {
    Entry* star = add(root, "*", KIND_SUBDIR);
    Entry* set = add(root, "[AB]", KIND_SUBDIR);
    add(root, "A", KIND_SUBDIR);
    add(set, "INSIDE.SET", KIND_FILE);
    (void)star;
    for (int i = 0; i < 3; ++i) {
        browser.panel.current = root;
        browser.panel.cursor = i;
        Entry* expected = child(i);
        enterDirectory();
        EXPECT_EQ(browser.panel.current, expected) << expected->name;
    }
}

}  // namespace
