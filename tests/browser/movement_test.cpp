#include <gtest/gtest.h>

#include <random>

#include "browser/movement.h"

namespace {

using Move = void (*)(PanelState&, int);

struct MoveCase {
    const char* name;
    int count;
    int top, cursor;  // before
    Move move;
    int expectedTop, expectedCursor;
};

TEST(Movement, RulesFromTheKeyTable) {
    const MoveCase cases[] = {
        {"up on the first child", 10, 0, 0, moveUp, 0, 0},
        {"up inside the window", 100, 10, 15, moveUp, 10, 14},
        {"up on the first place scrolls", 100, 5, 5, moveUp, 4, 4},
        {"down on the last child", 10, 0, 9, moveDown, 0, 9},
        {"down on the last child of a scrolled listing", 100, 60, 99, moveDown, 60, 99},
        {"down inside the window", 100, 0, 3, moveDown, 0, 4},
        {"down from the 40th place scrolls", 100, 0, 39, moveDown, 1, 40},
        {"page down, short listing", 30, 0, 3, pageDown, 0, 29},
        {"page down, 100 children", 100, 0, 0, pageDown, 20, 20},
        {"page down keeps the row", 100, 20, 27, pageDown, 40, 47},
        {"page down to the end", 100, 60, 60, pageDown, 60, 99},
        {"page down, 59 children", 59, 0, 0, pageDown, 19, 58},
        {"page down, exactly 40", 40, 0, 5, pageDown, 0, 39},
        {"page up, short listing", 30, 0, 20, pageUp, 0, 0},
        {"page up from top 10", 100, 10, 15, pageUp, 0, 0},
        {"page up by one panel", 100, 40, 55, pageUp, 20, 35},
        {"home", 100, 60, 70, moveHome, 0, 0},
        {"end, long listing", 100, 0, 0, moveEnd, 60, 99},
        {"end, 40 children", 40, 0, 0, moveEnd, 0, 39},
        {"end, short listing", 30, 0, 0, moveEnd, 0, 29},
        {"tab to a missing child stays", 30, 0, 14, switchPanel, 0, 14},
        {"tab to the right panel", 30, 0, 5, switchPanel, 0, 25},
        {"tab back to the left panel", 30, 0, 25, switchPanel, 0, 5},
        {"tab from the 20th row", 100, 10, 29, switchPanel, 10, 49},
        {"tab from the first right row", 100, 10, 30, switchPanel, 10, 10},
    };
    for (const MoveCase& c : cases) {
        PanelState panel;
        panel.top = c.top;
        panel.cursor = c.cursor;
        c.move(panel, c.count);
        EXPECT_EQ(panel.top, c.expectedTop) << c.name;
        EXPECT_EQ(panel.cursor, c.expectedCursor) << c.name;
    }
}

TEST(Movement, PagingThroughOneHundredChildren) {
    PanelState panel;
    int tops[4];
    for (int& top : tops) {
        pageDown(panel, 100);
        top = panel.top;
    }
    EXPECT_EQ(tops[0], 20);
    EXPECT_EQ(tops[1], 40);
    EXPECT_EQ(tops[2], 60);
    EXPECT_EQ(tops[3], 60);
    EXPECT_EQ(panel.cursor, 99);
}

TEST(Movement, EveryKeySequenceKeepsTheInvariants) {
    const Move moves[] = {moveUp, moveDown, pageUp, pageDown, moveHome, moveEnd, switchPanel};
    std::mt19937 random(1234);
    for (int count : {1, 2, 19, 20, 21, 39, 40, 41, 59, 60, 61, 100, 1000}) {
        PanelState panel;
        for (int step = 0; step < 2000; ++step) {
            moves[random() % 7](panel, count);
            ASSERT_LE(0, panel.top) << count << " step " << step;
            ASSERT_LE(panel.top, panel.cursor) << count << " step " << step;
            ASSERT_LE(panel.cursor, panel.top + 39) << count << " step " << step;
            ASSERT_LE(panel.cursor, count - 1) << count << " step " << step;
            if (panel.top > 0) {
                ASSERT_LE(panel.top + 40, count) << count << " step " << step;
            }
        }
    }
}

TEST(Movement, CursorSide) {
    PanelState panel;
    panel.top = 10;
    panel.cursor = 29;
    EXPECT_TRUE(cursorInLeftPanel(panel));
    panel.cursor = 30;
    EXPECT_FALSE(cursorInLeftPanel(panel));
}

}  // namespace
