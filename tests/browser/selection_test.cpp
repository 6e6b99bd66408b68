#include <gtest/gtest.h>

#include <cstring>

#include "browser/mainloop.h"
#include "browser/panels.h"
#include "browser/selection.h"
#include "browser_fixture.h"
#include "console/window.h"

namespace {

class SelectionTest : public BrowserScreenTest {
  protected:
    // The selection flags of the shown directory, '1' or '0' per child.
    std::string flags() const {
        std::string out;
        for (const Entry* each : browser.panel.current->children)
            out += each->info->selected ? '1' : '0';
        return out;
    }
    // Presses the keys one by one as the main loop would.
    void press(std::initializer_list<KeyCode> keys) {
        console.pushKeys(keys);
        while (!console.keys.empty()) handleKey(readKey());
    }
    // Opens the mask dialog with `key` and replaces the mask by `mask`.
    void mask(KeyCode key, const char* text, KeyCode closing = KEY_ENTER) {
        console.pushKey(key);
        for (int i = 0; i < 13; ++i) console.pushKey(KEY_DELETE);
        for (const char* c = text; *c; ++c) console.pushKey(static_cast<unsigned char>(*c));
        console.pushKey(closing);
        handleKey(readKey());
        ASSERT_TRUE(console.keys.empty());
    }
};

TEST_F(SelectionTest, InsertAndArrowsSelectOnlyFiles) {
    Entry* sub = add(root, "SUB", KIND_SUBDIR);
    add(sub, "DIR", KIND_SUBDIR);
    add(sub, "A.BIN", KIND_FILE);
    add(sub, "B.BIN", KIND_FILE);
    browser.panel.current = sub;
    press({KEY_INSERT});  // on "..."
    EXPECT_EQ(flags(), "0000");
    press({KEY_RIGHT});  // on "...": moves down without selecting
    EXPECT_EQ(browser.panel.cursor, 1);
    press({KEY_INSERT, KEY_RIGHT});  // on DIR
    EXPECT_EQ(flags(), "0000");
    press({KEY_INSERT});
    EXPECT_EQ(flags(), "0010");
    press({KEY_INSERT});
    EXPECT_EQ(flags(), "0000");
    press({KEY_RIGHT, KEY_RIGHT});  // A.BIN, then B.BIN (the last child: no move)
    EXPECT_EQ(flags(), "0011");
    EXPECT_EQ(browser.panel.cursor, 3);
    press({KEY_LEFT});
    EXPECT_EQ(flags(), "0010");
    EXPECT_EQ(browser.panel.cursor, 2);
}

TEST_F(SelectionTest, InvertFlipsFilesOnly) {
    add(root, "DIR", KIND_SUBDIR);
    add(root, "A.BIN", KIND_FILE);
    add(root, "B.BIN", KIND_FILE);
    add(root, "C.BIN", KIND_FILE);
    child(1)->info->selected = 1;
    press({'*'});
    EXPECT_EQ(flags(), "0011");
    press({'*'});
    EXPECT_EQ(flags(), "0100");
}

TEST_F(SelectionTest, MasksSelectAndUnselect) {
    add(root, "DIR.X", KIND_SUBDIR);
    add(root, "README", KIND_FILE);
    add(root, "readme.txt", KIND_FILE);
    add(root, "NOTES.TXT", KIND_FILE);
    add(root, "ALPHA.BIN", KIND_FILE);
    add(root, "alpha2.bin", KIND_FILE);
    // Listing: DIR.X, ALPHA.BIN, NOTES.TXT, README, alpha2.bin, readme.txt.
    struct Case {
        KeyCode key;
        const char* mask;
        const char* before;
        const char* after;
    };
    const Case cases[] = {
        {'+', "*.*", "000000", "011011"},    // README has no dot; directories never
        {'+', "*.TXT", "000000", "001001"},  // letter case does not matter
        {'+', "[!A]*", "000000", "001101"}, {'-', "*.BIN", "011111", "001101"},
        {'-', "*", "011111", "000000"},     {'+', "[abc", "000000", "000000"},  // invalid: ignored
        {'+', "[]", "000100", "000100"},
    };
    for (const Case& c : cases) {
        for (size_t i = 0; i < 6; ++i)
            child(static_cast<int>(i))->info->selected = c.before[i] == '1';
        mask(c.key, c.mask);
        EXPECT_EQ(flags(), c.after) << static_cast<char>(c.key) << c.mask;
    }
    // A cancelled dialog changes nothing.
    mask('+', "*", KEY_ESC);
    EXPECT_EQ(flags(), "000100");
}

TEST_F(SelectionTest, MaskDialogLooksAndKeepsItsText) {
    addFiles(root, 3);
    drawStaticScreen();
    drawMainScreen();
    pressKeys({'+', KEY_ESC});
    SCOPED_TRACE(console.dump());
    EXPECT_EQ(cells(11, 28, 23), "╔═► select files ◄════╗");
    EXPECT_EQ(cells(12, 28, 23), "║ Mask: *.*           ║");
    EXPECT_EQ(cells(13, 28, 23), "╚═════════════════════╝");
    EXPECT_EQ(runs(11, 28, 23), "87x4 8Fx12 87x7");
    EXPECT_EQ(runs(12, 28, 23), "87x8 0Bx13 87x2");

    mask('+', "*.BIN");
    pressKeys({'-', KEY_ESC});
    EXPECT_EQ(cells(11, 28, 23), "╔═► unselect files ◄══╗");
    EXPECT_EQ(cells(12, 28, 23), "║ Mask: *.BIN         ║");

    // A cancelled edit is kept too.
    pressKeys({'+', 'X', KEY_ESC});
    pressKeys({'+', KEY_ESC});
    EXPECT_EQ(cells(12, 28, 23), "║ Mask: X.BIN         ║");
    EXPECT_STREQ(maskField().buffer, "X.BIN");
}

TEST_F(SelectionTest, SelectionsSurviveWalkingThroughDirectories) {
    Entry* sub = add(root, "SUB", KIND_SUBDIR);
    add(root, "TOP.BIN", KIND_FILE);
    add(sub, "IN.BIN", KIND_FILE);
    press({KEY_DOWN, KEY_INSERT, KEY_UP, KEY_ENTER});
    EXPECT_EQ(browser.panel.current, sub);
    press({KEY_DOWN, KEY_INSERT, KEY_UP, KEY_ENTER});
    EXPECT_EQ(browser.panel.current, root);
    EXPECT_EQ(flags(), "01");
    EXPECT_EQ(sub->children[1]->info->selected, 1);
}

}  // namespace
