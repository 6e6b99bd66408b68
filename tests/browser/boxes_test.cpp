#include <gtest/gtest.h>

#include "browser/boxes.h"
#include "browser/mainloop.h"
#include "browser/panels.h"
#include "browser_fixture.h"
#include "console/screen.h"

namespace {

SystemFigures fixedFigures() {
    SystemFigures figures;
    figures.osLine = "Linux 6.1.0-18-amd64";
    figures.cpuLine = "Pentium MMX at 233 MHz";
    figures.hostVersion = "0.90";
    figures.availableBytes = (2ull << 30) + 12345;
    return figures;
}

class BoxesTest : public BrowserScreenTest {
  protected:
    void SetUp() override {
        BrowserScreenTest::SetUp();
        systemFiguresSource = fixedFigures;
    }
    void TearDown() override {
        systemFiguresSource = currentSystemFigures;
        BrowserScreenTest::TearDown();
    }
};

TEST_F(BoxesTest, HelpMarksCountTheMarkersOfTheirLines) {
    for (int i = 1; i <= 15; ++i) {
        int markers = 0;
        for (const char* c = HELP_LINES[i]; *c; ++c) markers += *c == '~';
        EXPECT_EQ(markers, HELP_MARKS[i - 1]) << HELP_LINES[i];
    }
}

TEST_F(BoxesTest, HelpBoxStaysUntilEsc) {
    addFiles(root, 3);
    show();
    pressKeys({KEY_F1, KEY_F1, KEY_ENTER, KEY_CTRL_L, KEY_ESC, 'x'});
    EXPECT_EQ(console.keys.size(), 1u);  // F1, Enter and Ctrl-L were used up by the box
    SCOPED_TRACE(console.dump());
    const char* expected[] = {
        "╔══► Keyboard Commands ◄═══════════════╗", "║                                      ║",
        "║ ↑/↓       - move cursor              ║", "║ pgup/pgdn - page up / down           ║",
        "║ home/end  - to begin/end of list     ║", "║ tab       - switch panel             ║",
        "║ insert    - select entry             ║", "║ return    - enter into dir           ║",
        "║ +/-/*     - (un)selection/invert     ║", "║ →/←       - select entry&move cursor ║",
        "║ f2        - rip entry to file        ║", "║ f3/alt-f3 - make (sel)filelist       ║",
        "║ ^l        - info as like VC or DN    ║", "║ f1        - help screen              ║",
        "║ esc esc   - exit                     ║", "║                                      ║",
        "╚═════════► press esc to leave help ◄══╝",
    };
    for (int i = 0; i < 17; ++i) EXPECT_EQ(cells(4 + i, 20, 40), expected[i]) << i;
    EXPECT_EQ(runs(4, 20, 40), "87x5 8Fx17 87x18");
    EXPECT_EQ(runs(6, 20, 40), "87x2 8Fx1 87x1 8Fx1 87x35");
    EXPECT_EQ(runs(20, 20, 40), "87x18 8Fx3 87x19");
    // The shadow: one row below from two columns in, and the column after the right edge.
    EXPECT_EQ(runs(21, 20, 44), "1Bx2 03x40 1Bx2");
    EXPECT_EQ(console.rowAttributes(5)[61], 0x03);
    EXPECT_EQ(console.rowAttributes(20)[61], 0x03);
    EXPECT_EQ(console.rowAttributes(20)[60], 0x1B);  // the column after the box keeps its colours
    EXPECT_EQ(console.rowAttributes(4)[61], 0x1B);
}

TEST_F(BoxesTest, InfoBoxCoversThePanelWithoutTheCursor) {
    Entry* sub = add(root, "SUB", KIND_SUBDIR, 44, 0x100);
    add(root, "TOP.BIN", KIND_FILE, 100, 0x200);
    add(sub, "A.BIN", KIND_FILE, 3000000000u, 1);
    add(sub, "B.BIN", KIND_FILE, 3000000000u, 2);
    add(sub, "C.BIN", KIND_FILE, 5, 3);
    browser.panel.current = sub;
    child(1)->info->selected = 1;
    child(3)->info->ripped = 1;
    show();
    console.pushKeys({'q'});
    showInfo(true, sub);
    SCOPED_TRACE(console.dump());
    const char* expected[] = {
        "╔══► Info ◄════════════════════════════╗",     "║     DIR (KESTRALOS) ripper v1.52     ║",
        "║    made by the dirrip developers     ║",     "╟──────────────────────────────────────╢",
        "║                                      ║",     "║            File details:             ║",
        "║        'D:\\GAMES\\X.DIR\\SUB\\'         ║", "║    6000000005 bytes in 4 file(s)     ║",
        "║  3000000000 bytes in 1 sel. file(s)  ║",     "║     5 bytes in 1 ripped file(s)      ║",
        "║                                      ║",     "╟──────────────────────────────────────╢",
        "║                                      ║",     "║           System details:            ║",
        "║         Linux 6.1.0-18-amd64         ║",     "║        Pentium MMX at 233 MHz        ║",
        "║              DPMI v0.90              ║",     "║       Avail DPMI memory 2048MB       ║",
        "║                                      ║",     "╟──────────────────────────────────────╢",
        "║    Reports and ideas are welcome:    ║",     "║    see the README of the sources     ║",
        "╚═══════════════════► press any key ◄══╝",
    };
    for (int i = 0; i < 23; ++i) EXPECT_EQ(cells(1 + i, 40, 40), expected[i]) << i;
    EXPECT_EQ(runs(1, 40, 40), "1Bx5 1Ex4 1Bx31");
    EXPECT_EQ(runs(7, 40, 40), "1Bx10 1Ex19 1Bx11");
    EXPECT_EQ(runs(8, 40, 40), "1Bx5 1Ex10 1Bx10 1Ex1 1Bx14");
    EXPECT_EQ(runs(15, 40, 40), "1Bx1 1Ex38 1Bx1");
    EXPECT_EQ(runs(16, 40, 40), "1Bx1 1Ex38 1Bx1");
    EXPECT_EQ(runs(18, 40, 40), "1Bx26 1Ex4 1Bx10");
    // The left panel with the cursor stays as it was.
    EXPECT_EQ(cells(3, 0, 14), "║..          │");
    EXPECT_TRUE(console.keys.empty());

    // On closing, the covered panel's frame rows are drawn again.
    drawMainScreen();
    EXPECT_EQ(cells(1, 40, 40), "╔════════════╤══════════╤════════╤═════╗");
    EXPECT_EQ(cells(2, 40, 40), "║   Entry    │   Size   │ Offset │ RIP ║");
    EXPECT_EQ(cells(23, 40, 40), "╚════════════╧══════════╧════════╧═════╝");
    EXPECT_EQ(cells(3, 40, 40), "║            │          │        │     ║");
}

TEST_F(BoxesTest, InfoBoxSideFollowsTheCursorAndRootCountsHaveNoUpEntry) {
    addFiles(root, 60);
    add(root, "SUB", KIND_SUBDIR);
    browser.panel.top = 10;
    browser.panel.cursor = 29;  // last row of the left panel
    show();
    pressKeys({KEY_CTRL_L, 'q'});
    EXPECT_EQ(cells(1, 40, 10), "╔══► Info ");
    EXPECT_EQ(cells(8, 40, 40).find(" bytes in 61 file(s)") != std::string::npos, true)
        << cells(8, 40, 40);
    browser.panel.cursor = 30;  // first row of the right panel
    show();
    pressKeys({KEY_CTRL_L, 'q'});
    EXPECT_EQ(cells(1, 0, 10), "╔══► Info ");
    EXPECT_EQ(cells(1, 40, 10), "╔═════════");
}

TEST_F(BoxesTest, InfoBoxPathIsShortenedUpperCasedAndMayHoldMarkers) {
    Entry* deep = add(root, "averyverylongdirectoryname", KIND_SUBDIR);
    Entry* deeper = add(deep, "in*side", KIND_SUBDIR);
    browser.panel.current = deeper;
    show();
    console.pushKeys({'q'});
    showInfo(true, deeper);
    SCOPED_TRACE(console.dump());
    EXPECT_EQ(cells(7, 40, 40), "║          'D:\\...\\IN*SIDE\\'           ║");
    EXPECT_EQ(runs(7, 40, 40), "1Bx12 1Ex15 1Bx13");

    browser.panel.current = deep;
    console.pushKeys({'q'});
    showInfo(false, deeper);
    EXPECT_EQ(cells(7, 0, 40), "║          'D:\\...\\IN*SIDE\\'           ║");
    Entry* starred = add(root, "a*b", KIND_SUBDIR);
    console.pushKeys({'q'});
    showInfo(false, starred);
    EXPECT_EQ(cells(7, 0, 40), "║        'D:\\GAMES\\X.DIR\\A*B\\'         ║");
    EXPECT_EQ(runs(7, 0, 40), "1Bx10 1Ex19 1Bx11");
}

}  // namespace
