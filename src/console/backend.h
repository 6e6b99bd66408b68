// The platform side of the console: where flushed frames go and keys come from.
//
// screen.cpp and keyboard.cpp talk only to the active backend. The program
// installs the terminal backend; unit tests install a MemoryConsole.
#pragma once

#include <cstdint>

#include "console/keyboard.h"
#include "console/screen.h"

class ConsoleBackend {
  public:
    virtual ~ConsoleBackend() = default;
    // Shows a whole frame of 2000 cells.
    virtual void flush(const Cell* cells) = 0;
    // Remembers what the console shows (cells and cursor) so restore can put it back.
    virtual void save(Cell* cells, int* column, int* row) = 0;
    // Puts back the saved cells and cursor.
    virtual void restore(const Cell* cells, int column, int row) = 0;
    virtual void setCursor(int column, int row) = 0;
    virtual void getCursor(int* column, int* row) = 0;
    // size 0 hides the cursor; otherwise its size in percent.
    virtual void setCursorSize(int percent) = 0;
    // Waits for one key press; KEY_NONE when no key will ever come.
    virtual KeyCode readKey() = 0;
    // The next key already typed, without waiting; KEY_NOT_READY when there
    // is none (so by default: a console that cannot tell never has one),
    // KEY_NONE when no key will ever come.
    virtual KeyCode pollKey() { return KEY_NOT_READY; }
    // Sets the window title (code page 437 text).
    virtual void setTitle(const char* title) = 0;
    // The window's size in cells, by which the draw layer tells whether the
    // whole grid can be seen; consoles that always show it keep this default.
    virtual void windowSize(int* columns, int* rows) {
        *columns = SCREEN_COLS;
        *rows = SCREEN_ROWS;
    }
};

// Makes `backend` the active console (not owned); null means no console at all.
void setConsoleBackend(ConsoleBackend* backend);
// The active console, or null.
ConsoleBackend* consoleBackend();
// Sets the console window title (code page 437 text) when a console is active.
void setConsoleTitle(const char* title);
