#include "console/window.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "console/keyboard.h"
#include "console_fixture.h"

namespace {

// The selection mask's input line: maximum 13, prompt "Mask" at (2, 1) of the window.
struct MaskLine {
    char buffer[14] = "*.*";
    InputLine line;
    MaskLine() {
        line.maximum = 13;
        line.columnOffset = 2;
        line.rowOffset = 1;
        line.promptAttribute = ATTR_BOX;
        line.textAttribute = ATTR_FIELD;
        line.prompt = "Mask";
        line.buffer = buffer;
    }
    int run(const char* title = "select files") {
        return inputDialog(28, 11, 23, 3, ATTR_BOX, &line, title);
    }
};

}  // namespace

using WindowTest = ConsoleTest;

TEST_F(WindowTest, MaskDialogLooksAsDrawn) {
    MaskLine mask;
    for (Cell& cell : screen.draw) cell = Cell{'.', 0x1B};
    console.pushKeys({KEY_ESC});
    EXPECT_EQ(mask.run(), 0);
    screenFlush();

    std::string dots(80, '.');
    EXPECT_EQ(console.row(11), dots.substr(0, 28) + "╔═► select files ◄════╗" + dots.substr(51))
        << console.dump();
    EXPECT_EQ(console.rowAttributeRuns(11), "1Bx28 87x4 8Fx12 87x7 1Bx29");
    EXPECT_EQ(console.row(12), dots.substr(0, 28) + "║ Mask: *.*           ║" + dots.substr(51));
    EXPECT_EQ(console.rowAttributeRuns(12), "1Bx28 87x8 0Bx13 87x2 1Bx1 03x1 1Bx27");
    EXPECT_EQ(console.row(13), dots.substr(0, 28) + "╚═════════════════════╝" + dots.substr(51));
    EXPECT_EQ(console.rowAttributeRuns(13), "1Bx28 87x23 1Bx1 03x1 1Bx27");
    EXPECT_EQ(console.rowAttributeRuns(14), "1Bx30 03x23 1Bx27");
    EXPECT_EQ(console.cursorSize, 0);  // hidden again on leaving
}

TEST_F(WindowTest, WindowTitleLongerThanTheRoomIsCut) {
    drawWindow("a rather long title", 0, 0, 16, 2, ATTR_BOX);
    drawWindow("", 0, 5, 10, 3, ATTR_PANEL);
    screenFlush();
    const std::string rest64(64, ' ');
    const std::string rest70(70, ' ');
    EXPECT_EQ(console.row(0), "╔═► a rather ◄═╗" + rest64);
    EXPECT_EQ(console.rowAttributeRuns(0), "87x4 8Fx8 87x4 00x64");
    EXPECT_EQ(console.row(1), "╚══════════════╝" + rest64);
    EXPECT_EQ(console.row(5), "╔═►  ◄═══╗" + rest70);
    EXPECT_EQ(console.row(6), "║        ║" + rest70);
    EXPECT_EQ(console.row(7), "╚════════╝" + rest70);
    EXPECT_EQ(console.rowAttributeRuns(5), "1Bx10 00x70");
}

TEST_F(WindowTest, EditingTheMask) {
    struct Case {
        const char* name;
        const char* initial;
        std::vector<KeyCode> keys;
        int result;
        const char* text;
        int cursor;
    };
    const std::string full = "ABCDEFGHIJKLM";
    const std::vector<Case> cases = {
        {"overwrite at the start", "*.*", {'a', KEY_ENTER}, 1, "a.*", 1},
        {"insert at the start", "*.*", {KEY_INSERT, 'x', KEY_ENTER}, 1, "x*.*", 1},
        {"insert into a full line drops the last",
         full.c_str(),
         {KEY_INSERT, 'x', KEY_ENTER},
         1,
         "xABCDEFGHIJKL",
         1},
        {"overwrite at the end of a full line",
         full.c_str(),
         {KEY_END, 'z', KEY_ENTER},
         1,
         "ABCDEFGHIJKLz",
         12},
        {"end of a full line", full.c_str(), {KEY_END, KEY_ENTER}, 1, full.c_str(), 12},
        {"end of a short line", "*.*", {KEY_END, KEY_ENTER}, 1, "*.*", 3},
        {"typing at the end grows the text", "*.*", {KEY_END, 'a', 'b', KEY_ENTER}, 1, "*.*ab", 5},
        {"delete after the last character", "*.*", {KEY_END, KEY_DELETE, KEY_ENTER}, 1, "*.*", 3},
        {"delete on the last character",
         "*.*",
         {KEY_END, KEY_LEFT, KEY_DELETE, KEY_ENTER},
         1,
         "*.",
         2},
        {"delete in the middle", "abc", {KEY_RIGHT, KEY_DELETE, KEY_ENTER}, 1, "ac", 1},
        {"backspace at the start changes nothing", "*.*", {KEY_BACKSPACE, KEY_ENTER}, 1, "*.*", 0},
        {"backspace at the end", "*.*", {KEY_END, KEY_BACKSPACE, KEY_ENTER}, 1, "*.", 2},
        {"backspace in the middle",
         "abcd",
         {KEY_RIGHT, KEY_RIGHT, KEY_BACKSPACE, KEY_ENTER},
         1,
         "acd",
         1},
        {"cursor stops at both ends",
         "ab",
         {KEY_LEFT, KEY_RIGHT, KEY_RIGHT, KEY_RIGHT, KEY_ENTER},
         1,
         "ab",
         2},
        {"home", "abc", {KEY_END, KEY_HOME, 'x', KEY_ENTER}, 1, "xbc", 1},
        {"refused characters",
         "*.*",
         {' ', '"', '+', ',', '/', ':', ';', '<', '=', '>', '|', 0x81, 0xFF, KEY_PAD_ENTER, KEY_F1,
          KEY_ENTER},
         1,
         "*.*",
         0},
        {"accepted characters",
         "",
         {'*', '?', '.', '[', ']', '\\', '!', '^', 0x80, KEY_ENTER},
         1,
         "*?.[]\\!^\x80",
         9},
        {"escape keeps the edited text", "*.*", {'q', KEY_ESC}, 0, "q.*", 1},
        {"no more keys cancels", "*.*", {'q'}, 0, "q.*", 1},
        {"too long a text is cut to the field",
         "ABCDEFGHIJKLMNOP",
         {KEY_ENTER},
         1,
         full.c_str(),
         0},
    };
    for (const Case& c : cases) {
        MaskLine mask;
        std::memset(mask.buffer, 0, sizeof mask.buffer);
        char longBuffer[32] = {};
        std::strcpy(longBuffer, c.initial);
        if (std::strlen(c.initial) > 13)
            mask.line.buffer = longBuffer;  // caller's bigger buffer
        else
            std::strcpy(mask.buffer, c.initial);
        console.keys.assign(c.keys.begin(), c.keys.end());
        EXPECT_EQ(mask.run(), c.result) << c.name;
        EXPECT_STREQ(mask.line.buffer, c.text) << c.name;
        EXPECT_EQ(mask.line.length, static_cast<int>(std::strlen(c.text))) << c.name;
        EXPECT_EQ(mask.line.cursor, c.cursor) << c.name;
        EXPECT_EQ(console.cursorColumn, 36 + c.cursor) << c.name;
        EXPECT_EQ(console.cursorRow, 12) << c.name;
    }
}

TEST_F(WindowTest, LineWithoutRoomTakesNoCharacters) {
    char buffer[2] = {0, 'Z'};
    InputLine line;
    line.maximum = 0;
    line.prompt = "X";
    line.buffer = buffer;
    console.pushKeys({'a', KEY_INSERT, 'b', KEY_BACKSPACE, KEY_DELETE, KEY_END, KEY_ENTER});
    EXPECT_EQ(inputDialog(10, 5, 20, 3, ATTR_BOX, &line, "t"), 1);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(buffer[1], 'Z');
    EXPECT_EQ(line.cursor, 0);
}

TEST_F(WindowTest, CursorKeysMoveTheCursorWithoutFlushing) {
    MaskLine mask;
    console.pushKeys({KEY_RIGHT, KEY_INSERT, KEY_END, KEY_HOME, KEY_ESC});
    mask.run();
    EXPECT_EQ(console.flushCount, 1);

    console.flushCount = 0;
    std::vector<int> sizes;
    console.pushKeys({KEY_INSERT, 'a', KEY_INSERT, 'b', KEY_ENTER});
    mask.run();
    EXPECT_EQ(console.flushCount, 3);  // on opening and after each typed character
    EXPECT_STREQ(mask.buffer, "ab.*");
    EXPECT_EQ(mask.line.insertMode, 0);
}

TEST_F(WindowTest, TypedTildeShowsAsTyped) {
    MaskLine mask;
    std::strcpy(mask.buffer, "~*");
    console.pushKeys({KEY_INSERT, 'T', KEY_RIGHT, 'I', KEY_ESC});
    mask.run();
    EXPECT_STREQ(mask.buffer, "T~I*");
    EXPECT_EQ(console.row(12),
              std::string(28, ' ') + "║ Mask: T~I*          ║" + std::string(29, ' '))
        << console.dump();
    EXPECT_EQ(console.rowAttributeRuns(12), "00x28 87x8 0Bx13 87x2 00x29");
    EXPECT_EQ(console.cursorColumn, 36 + 3);  // on the '*', after "T~I"
}

TEST(CenterText, CentresMarkedText) {
    char out[64];
    EXPECT_STREQ(centerText(out, "File details:", 38, 0),
                 (std::string(12, ' ') + "File details:" + std::string(13, ' ')).c_str());
    EXPECT_STREQ(centerText(out, "~ab~", 4, 2), " ~ab~ ");
    EXPECT_STREQ(centerText(out, "abc", 4, 0), "abc ");  // the odd cell goes right
    EXPECT_STREQ(centerText(out, "", 3, 0), "   ");
    std::memset(out, 'Z', sizeof out);
    EXPECT_STREQ(centerText(out, "much too long", 4, 0), "much");
    EXPECT_EQ(out[5], 'Z');
}

TEST(ShortenPath, Examples) {
    struct Case {
        const char* path;
        int limit;
        const char* shortened;
    };
    const std::string exact36 = "C:\\GAMES\\WAR\\DATA\\WAV\\SOUNDS12.DIR";
    const Case cases[] = {
        {"C:\\GAMES\\WAR\\DATA\\WAV\\SOUNDS.DIR", 24, "C:\\...\\WAV\\SOUNDS.DIR"},
        {"C:\\GAMES\\WAR\\DATA\\WAV\\SOUNDS.DIR", 28, "C:\\...\\DATA\\WAV\\SOUNDS.DIR"},
        {"c:\\games\\war\\data\\wav\\sounds.dir", 36, "C:\\GAMES\\WAR\\DATA\\WAV\\SOUNDS.DIR"},
        {"c:\\games\\sounds.dir", 19, "C:\\GAMES\\SOUNDS.DIR"},  // exactly the limit
        {"\\GAMES\\WAR\\DATA\\WAV\\SOUNDS.DIR", 22, "\\...\\WAV\\SOUNDS.DIR"},
        {"/home/user/games/war/data/sounds.dir", 24, "/.../WAR/DATA/SOUNDS.DIR"},
        {"C:\\A\\B\\NOEXTENSIONNAME", 18, "C:\\...NOEXTENSIONN"},
        {"C:\\X\\AVERYLONGFILENAMEINDEED.DATA", 20, "C:\\...AVERYLONGFILEN"},
        {"NODIRECTORYATALLHERE.DIR", 10, "\\...NODIRE"},
    };
    for (const Case& c : cases) {
        char out[64];
        std::memset(out, 'Z', sizeof out);
        EXPECT_STREQ(shortenPath(out, c.path, c.limit), c.shortened) << c.path << " " << c.limit;
        EXPECT_LE(std::strlen(out), static_cast<size_t>(c.limit)) << c.path;
        EXPECT_EQ(out[c.limit + 1], 'Z') << "wrote past limit + 1 for " << c.path;
    }
}

TEST(TextHelpers, CutToBackslash) {
    char tail[] = "ATA\\WAV\\";
    EXPECT_STREQ(cutToBackslash(tail), "\\WAV\\");
    char none[] = "NOSLASH";
    EXPECT_STREQ(cutToBackslash(none), "NOSLASH");
    char first[] = "\\A";
    EXPECT_STREQ(cutToBackslash(first), "\\A");
}

TEST(TextHelpers, SanitizeFilename) {
    struct Case {
        const char* name;
        const char* sanitized;
    };
    const Case cases[] = {
        {"A/B:C*.TXT", "A\\B_C_.TXT"},
        {"!*+,:;<=>?[]|\"", "______________"},
        {"SUB\\DIR\\A-B C.~1", "SUB\\DIR\\A-B C.~1"},
        {"\x80\xFF\x1B.X", "\x80\xFF\x1B.X"},
    };
    for (const Case& c : cases) {
        char buffer[64];
        std::strcpy(buffer, c.name);
        EXPECT_STREQ(sanitizeFilename(buffer), c.sanitized) << c.name;
    }
}

TEST(TextHelpers, FilenameCharactersAtTheEdges) {
    // The ends of the accepted range, a few of each kind, and the values a
    // key can take beyond a byte (an extended key must never pass as its low byte).
    const std::pair<int, bool> cases[] = {
        {-1, false},
        {0, false},
        {0x20, false},
        {'!', false},
        {'"', false},
        {'#', true},
        {'-', true},
        {'.', false},
        {'0', true},
        {'A', true},
        {'z', true},
        {'\\', false},
        {'*', false},
        {'?', false},
        {'~', true},
        {0x80, true},
        {0x81, false},
        {0xFF, false},
        {KEY_EXTENDED + 'A', false},
        {KEY_F1, false},
        {KEY_PAD_ENTER, false},
    };
    for (auto [c, expected] : cases) EXPECT_EQ(isFilenameChar(c), expected) << c;
}
