#include "platform/windows/windows_console.h"

#include <windows.h>

#include <atomic>
#include <vector>

#include "platform/windows/code_page.h"
#include "platform/windows/console_glyphs.h"
#include "platform/windows/key_events.h"
#include "text/cp437.h"

namespace {

struct ConsoleState {
    HANDLE input = INVALID_HANDLE_VALUE;
    HANDLE original = INVALID_HANDLE_VALUE;  // the screen buffer active at open
    HANDLE own = INVALID_HANDLE_VALUE;       // the program's screen buffer
    DWORD savedInputMode = 0;
    std::vector<wchar_t> savedTitle;
};

ConsoleState state;
// Set while the program's buffer is up; taken by whoever closes first: the
// main thread or the control handler.
std::atomic<bool> taken{false};
// Held while the console is being taken or given back, so that the control
// handler's thread never gives back half of what the main thread set up, or
// the other way round.
SRWLOCK handoverLock = SRWLOCK_INIT;

// Makes the user's screen buffer, input mode and title the console's again.
void giveBack() {
    SetConsoleActiveScreenBuffer(state.original);
    SetConsoleMode(state.input, state.savedInputMode);
    if (!state.savedTitle.empty())
        SetConsoleTitleW(state.savedTitle.data());
}

HANDLE openConsoleHandle(const wchar_t* name) {
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
}

// Makes the program's buffer at least 80 x 25 and no smaller than the
// window, and shows its top left corner: a larger window shows the grid at
// the top left, a smaller one can scroll to all of it.
void fitBuffer(HANDLE buffer) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(buffer, &info))
        return;
    SHORT windowColumns = SHORT(info.srWindow.Right - info.srWindow.Left + 1);
    SHORT windowRows = SHORT(info.srWindow.Bottom - info.srWindow.Top + 1);
    COORD size = {windowColumns > SCREEN_COLS ? windowColumns : SHORT(SCREEN_COLS),
                  windowRows > SCREEN_ROWS ? windowRows : SHORT(SCREEN_ROWS)};
    if (size.X != info.dwSize.X || size.Y != info.dwSize.Y)
        SetConsoleScreenBufferSize(buffer, size);
    SMALL_RECT window = {0, 0, SHORT(windowColumns - 1), SHORT(windowRows - 1)};
    SetConsoleWindowInfo(buffer, TRUE, &window);
}

class WindowsConsole : public ConsoleBackend {
  public:
    void flush(const Cell* cells) override {
        for (int i = 0; i < SCREEN_CELLS; ++i) {
            // Every byte as the glyph code page 437 shows for it, whatever
            // the console's own code page; attribute bit 7 is a bright
            // background in the Windows console.
            unsigned char byte = static_cast<unsigned char>(cells[i].character);
            frame_[i].Char.UnicodeChar = wchar_t(glyphs_[byte]);
            frame_[i].Attributes = WORD(cells[i].attributes & 0xFF);
        }
        haveFrame_ = true;
        writeFrame();
    }

    // The user's screen stays in its own buffer, untouched; there is nothing to read.
    void save(Cell* cells, int* column, int* row) override {
        for (int i = 0; i < SCREEN_CELLS; ++i) cells[i] = Cell{};
        *column = 0;
        *row = 0;
    }

    // Making the user's buffer active again brings back its cells and cursor.
    void restore(const Cell*, int, int) override { windowsConsoleClose(); }

    void setCursor(int column, int row) override {
        SetConsoleCursorPosition(state.own, COORD{SHORT(column), SHORT(row)});
    }

    void getCursor(int* column, int* row) override {
        CONSOLE_SCREEN_BUFFER_INFO info;
        if (GetConsoleScreenBufferInfo(state.own, &info)) {
            *column = info.dwCursorPosition.X;
            *row = info.dwCursorPosition.Y;
        } else {
            *column = 0;
            *row = 0;
        }
    }

    void setCursorSize(int percent) override {
        CONSOLE_CURSOR_INFO cursor;
        cursor.dwSize = percent == 0 ? 1 : DWORD(percent);
        cursor.bVisible = percent == 0 ? FALSE : TRUE;
        SetConsoleCursorInfo(state.own, &cursor);
    }

    KeyCode readKey() override {
        for (;;) {
            KeyCode code = nextKey();
            if (code != KEY_NOT_READY)
                return code;
        }
    }

    KeyCode pollKey() override {
        for (;;) {
            // Presses of a held key already decoded come first.
            KeyCode queued = takeWindowsKey(&keys_);
            if (queued != KEY_NONE)
                return queued;
            DWORD waiting = 0;
            if (!GetNumberOfConsoleInputEvents(state.input, &waiting))
                return KEY_NONE;
            if (waiting == 0)
                return KEY_NOT_READY;
            KeyCode code = nextKey();
            if (code != KEY_NOT_READY)
                return code;
        }
    }

    void setTitle(const char* title) override {
        std::wstring wide;
        for (const char* c = title; *c != '\0'; ++c)
            wide += wchar_t(cp437ToUnicode(static_cast<unsigned char>(*c)));
        SetConsoleTitleW(wide.c_str());
    }

    // Chooses the characters the cells are drawn with, for a console whose
    // output code page is `codePage`.
    void chooseGlyphs(unsigned codePage) {
        const bool asciiOnly = consoleDrawsWideGlyphs(codePage);
        for (int byte = 0; byte < 256; ++byte)
            glyphs_[byte] = consoleGlyph(static_cast<unsigned char>(byte), asciiOnly);
    }

    // Forgets the key presses decoded and not yet returned.
    void forgetKeys() { keys_ = WindowsKeyQueue{}; }

  private:
    // The next key press: one decoded before and not yet returned, else the
    // first of those the next input event stands for; KEY_NOT_READY for an
    // event that makes none, KEY_NONE when the console gives no more events.
    KeyCode nextKey() {
        KeyCode queued = takeWindowsKey(&keys_);
        if (queued != KEY_NONE)
            return queued;
        INPUT_RECORD record;
        DWORD count = 0;
        // A console that gives no more events (closed, not a console)
        // ends the wait instead of spinning.
        if (!ReadConsoleInputW(state.input, &record, 1, &count) || count == 0)
            return KEY_NONE;
        if (record.EventType == WINDOW_BUFFER_SIZE_EVENT) {
            fitBuffer(state.own);
            if (haveFrame_)
                writeFrame();
            return KEY_NOT_READY;
        }
        if (record.EventType != KEY_EVENT)
            return KEY_NOT_READY;
        const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
        WindowsKeyEvent event;
        event.keyDown = key.bKeyDown != FALSE;
        event.virtualKey = key.wVirtualKeyCode;
        event.scanCode = key.wVirtualScanCode;
        event.character = char16_t(key.uChar.UnicodeChar);
        event.controlKeyState = key.dwControlKeyState;
        event.repeatCount = key.wRepeatCount;
        queueWindowsKeyEvent(&keys_, event);
        KeyCode code = takeWindowsKey(&keys_);
        return code == KEY_NONE ? KEY_NOT_READY : code;
    }

    void writeFrame() {
        SMALL_RECT area = {0, 0, SCREEN_COLS - 1, SCREEN_ROWS - 1};
        WriteConsoleOutputW(state.own, frame_, COORD{SCREEN_COLS, SCREEN_ROWS}, COORD{0, 0}, &area);
    }

    CHAR_INFO frame_[SCREEN_CELLS] = {};
    bool haveFrame_ = false;
    char16_t glyphs_[256] = {};
    WindowsKeyQueue keys_;
};

WindowsConsole console;

// Takes the console, with the handover lock held.
ConsoleBackend* openLocked() {
    HANDLE input = openConsoleHandle(L"CONIN$");
    HANDLE original = openConsoleHandle(L"CONOUT$");
    DWORD inputMode = 0;
    DWORD outputMode = 0;
    if (input == INVALID_HANDLE_VALUE || original == INVALID_HANDLE_VALUE ||
        !GetConsoleMode(input, &inputMode) || !GetConsoleMode(original, &outputMode)) {
        if (input != INVALID_HANDLE_VALUE)
            CloseHandle(input);
        if (original != INVALID_HANDLE_VALUE)
            CloseHandle(original);
        return nullptr;
    }
    HANDLE own =
        CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, CONSOLE_TEXTMODE_BUFFER, nullptr);
    if (own == INVALID_HANDLE_VALUE) {
        CloseHandle(input);
        CloseHandle(original);
        return nullptr;
    }
    state.input = input;
    state.original = original;
    state.own = own;
    state.savedInputMode = inputMode;
    state.savedTitle.assign(1024, L'\0');
    DWORD titleLength = GetConsoleTitleW(state.savedTitle.data(), DWORD(state.savedTitle.size()));
    state.savedTitle.resize(titleLength + 1);
    state.savedTitle[titleLength] = L'\0';

    console.chooseGlyphs(userCodePage());
    console.forgetKeys();
    // From here on an interrupt gives the console back, even before all of
    // it has been taken.
    taken.store(true);

    // Processed output without wrapping at the line end.
    SetConsoleMode(own, ENABLE_PROCESSED_OUTPUT);
    fitBuffer(own);
    SetConsoleActiveScreenBuffer(own);
    // Every key as an event: no line editing, no echo, Ctrl-C as a key (the
    // extended flag with quick edit off keeps mouse selection from freezing
    // the program).
    SetConsoleMode(input, ENABLE_EXTENDED_FLAGS | ENABLE_WINDOW_INPUT);
    FlushConsoleInputBuffer(input);
    return &console;
}

}  // namespace

ConsoleBackend* windowsConsoleOpen() {
    AcquireSRWLockExclusive(&handoverLock);
    ConsoleBackend* backend = taken.load() ? &console : openLocked();
    ReleaseSRWLockExclusive(&handoverLock);
    return backend;
}

void windowsConsoleClose() {
    AcquireSRWLockExclusive(&handoverLock);
    if (taken.exchange(false)) {
        giveBack();
        CloseHandle(state.own);
        CloseHandle(state.original);
        CloseHandle(state.input);
        state = ConsoleState{};
    }
    ReleaseSRWLockExclusive(&handoverLock);
}

void windowsConsoleCloseForExit() {
    // The lock is never let go: the process ends right after, and the main
    // thread, still running, must not take the console again meanwhile. The
    // handles stay open for the main thread to fail on quietly.
    AcquireSRWLockExclusive(&handoverLock);
    if (taken.exchange(false))
        giveBack();
}

void windowsConsoleDiscardInput() {
    if (!taken.load())
        return;
    FlushConsoleInputBuffer(state.input);
    console.forgetKeys();
}
