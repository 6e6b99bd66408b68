// An in-memory console for tests: keeps the last flushed frame and plays a script of keys.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "console/backend.h"

class MemoryConsole : public ConsoleBackend {
  public:
    void flush(const Cell* cells) override;
    void save(Cell* cells, int* column, int* row) override;
    void restore(const Cell* cells, int column, int row) override;
    void setCursor(int column, int row) override;
    void getCursor(int* column, int* row) override;
    void setCursorSize(int percent) override;
    // Returns the next scripted key; KEY_NONE once the script is used up.
    KeyCode readKey() override;
    // Returns the next key typed while the program is busy (`typedAhead`);
    // KEY_NOT_READY once those are used up.
    KeyCode pollKey() override;
    void setTitle(const char* title) override;
    // Reports `columns` x `rows`.
    void windowSize(int* columns, int* rows) override;

    // Queues keys for readKey.
    void pushKeys(std::initializer_list<KeyCode> keys);
    void pushKey(KeyCode key);

    // Row r of the last flushed frame as UTF-8 text (code page 437 glyphs, 0 as a blank).
    std::string row(int r) const;
    // Row r's raw code page 437 bytes.
    std::string rowBytes(int r) const;
    // Row r's attributes, one byte per cell.
    std::vector<uint8_t> rowAttributes(int r) const;
    // Row r's attributes as runs, e.g. "87x3 8Fx77", for comparing whole rows with a literal.
    std::string rowAttributeRuns(int r) const;
    // The 25 rows, one per line, for failure messages.
    std::string dump() const;

    Cell frame[SCREEN_CELLS];  // the last flushed frame
    int flushCount = 0;
    int cursorColumn = 0;
    int cursorRow = 0;
    int cursorSize = 0;
    std::string title;
    std::deque<KeyCode> keys;
    int columns = SCREEN_COLS;  // the window's size, 80 x 25 unless a test changes it
    int rows = SCREEN_ROWS;
    // Keys typed while the program works without waiting, one per poll in
    // turn; KEY_NOT_READY in the list stands for a poll that finds none.
    std::deque<KeyCode> typedAhead;
    int pollCount = 0;
};
