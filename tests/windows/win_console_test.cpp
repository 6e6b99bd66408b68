// The Windows console backend on the process's own console (wine's, under a
// pseudo-terminal): cells and colours read back from the active buffer, keys
// written into the input, and the user's buffer and title given back.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "platform/windows/windows_console.h"

namespace {

HANDLE consoleHandle(const wchar_t* name) {
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
}

// The cell at (row, column) of the active screen buffer.
CHAR_INFO activeCell(int row, int column) {
    HANDLE active = consoleHandle(L"CONOUT$");
    CHAR_INFO cell = {};
    SMALL_RECT area = {SHORT(column), SHORT(row), SHORT(column), SHORT(row)};
    ReadConsoleOutputW(active, &cell, COORD{1, 1}, COORD{0, 0}, &area);
    CloseHandle(active);
    return cell;
}

void typeKey(WORD virtualKey, WORD scanCode, wchar_t character, DWORD state, bool down = true) {
    HANDLE input = consoleHandle(L"CONIN$");
    INPUT_RECORD record = {};
    record.EventType = KEY_EVENT;
    record.Event.KeyEvent.bKeyDown = down;
    record.Event.KeyEvent.wRepeatCount = 1;
    record.Event.KeyEvent.wVirtualKeyCode = virtualKey;
    record.Event.KeyEvent.wVirtualScanCode = scanCode;
    record.Event.KeyEvent.uChar.UnicodeChar = character;
    record.Event.KeyEvent.dwControlKeyState = state;
    DWORD written = 0;
    WriteConsoleInputW(input, &record, 1, &written);
    CloseHandle(input);
}

std::wstring title() {
    wchar_t text[512] = {};
    GetConsoleTitleW(text, 512);
    return text;
}

class WinConsole : public ::testing::Test {
  protected:
    void SetUp() override {
        HANDLE output = consoleHandle(L"CONOUT$");
        DWORD mode = 0;
        bool console = output != INVALID_HANDLE_VALUE && GetConsoleMode(output, &mode);
        if (output != INVALID_HANDLE_VALUE)
            CloseHandle(output);
        if (!console)
            GTEST_SKIP() << "no console (run under a pseudo-terminal)";
    }
    void TearDown() override { windowsConsoleClose(); }
};

TEST_F(WinConsole, DrawsGlyphsAndColoursInItsOwnBufferAndGivesTheUsersBack) {
    // A mark in the user's buffer that must survive the run.
    HANDLE user = consoleHandle(L"CONOUT$");
    CHAR_INFO mark = {};
    mark.Char.UnicodeChar = L'Q';
    mark.Attributes = 0x0E;
    SMALL_RECT at = {0, 0, 0, 0};
    WriteConsoleOutputW(user, &mark, COORD{1, 1}, COORD{0, 0}, &at);
    SetConsoleTitleW(L"user title");

    ConsoleBackend* console = windowsConsoleOpen();
    ASSERT_NE(console, nullptr);
    Cell frame[SCREEN_CELLS] = {};
    frame[0] = Cell{0xC9, 0x1B};           // box corner, cyan on blue
    frame[1] = Cell{'D', 0x8F};            // bright white on a bright background
    frame[SCREEN_CELLS - 1] = Cell{0x81, 0x70};  // u umlaut, last cell
    frame[2] = Cell{0x00, 0x07};           // 0 shows as a blank
    console->flush(frame);
    console->setTitle("[GAME.DIR]-\x81");
    console->setCursorSize(0);

    CHAR_INFO cell = activeCell(0, 0);
    EXPECT_EQ(cell.Char.UnicodeChar, L'\u2554');
    EXPECT_EQ(cell.Attributes & 0xFF, 0x1B);
    cell = activeCell(0, 1);
    EXPECT_EQ(cell.Char.UnicodeChar, L'D');
    EXPECT_EQ(cell.Attributes & 0xFF, 0x8F);
    EXPECT_EQ(activeCell(0, 2).Char.UnicodeChar, L' ');
    cell = activeCell(SCREEN_ROWS - 1, SCREEN_COLS - 1);
    EXPECT_EQ(cell.Char.UnicodeChar, L'\u00FC');
    EXPECT_EQ(cell.Attributes & 0xFF, 0x70);
    EXPECT_EQ(title(), L"[GAME.DIR]-\u00FC");
    HANDLE active = consoleHandle(L"CONOUT$");
    CONSOLE_CURSOR_INFO cursor = {};
    GetConsoleCursorInfo(active, &cursor);
    CloseHandle(active);
    EXPECT_FALSE(cursor.bVisible);

    windowsConsoleClose();
    cell = activeCell(0, 0);
    EXPECT_EQ(cell.Char.UnicodeChar, L'Q');
    EXPECT_EQ(cell.Attributes & 0xFF, 0x0E);
    EXPECT_EQ(title(), L"user title");
    CloseHandle(user);
}

TEST_F(WinConsole, ReadsKeysAndSkipsModifiersAndReleases) {
    ConsoleBackend* console = windowsConsoleOpen();
    ASSERT_NE(console, nullptr);
    typeKey(VK_SHIFT, 0x2A, 0, SHIFT_PRESSED);        // stray modifier
    typeKey(VK_F3, 0x3D, 0, LEFT_ALT_PRESSED);
    typeKey(VK_F3, 0x3D, 0, LEFT_ALT_PRESSED, false);  // its release
    typeKey(VK_RETURN, 0x1C, L'\r', ENHANCED_KEY);     // keypad Enter
    typeKey('E', 0x12, L'\u00E9', 0);
    typeKey(VK_ESCAPE, 0x01, 0x1B, 0);
    EXPECT_EQ(console->readKey(), KEY_ALT_F3);
    EXPECT_EQ(console->readKey(), KEY_PAD_ENTER);
    EXPECT_EQ(console->readKey(), 0x82);
    EXPECT_EQ(console->readKey(), KEY_ESC);

    // Keys typed before are thrown away.
    typeKey('A', 0x1E, L'a', 0);
    windowsConsoleDiscardInput();
    typeKey('B', 0x30, L'b', 0);
    EXPECT_EQ(console->readKey(), 'b');
}

}  // namespace
