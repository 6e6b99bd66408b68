// The in-memory console used by tests.
#include "console/memory_console.h"

#include <cstdio>

#include "text/cp437.h"

void MemoryConsole::flush(const Cell* cells) {
    for (int i = 0; i < SCREEN_CELLS; ++i) frame[i] = cells[i];
    ++flushCount;
}

void MemoryConsole::save(Cell* cells, int* column, int* row) {
    for (int i = 0; i < SCREEN_CELLS; ++i) cells[i] = frame[i];
    *column = cursorColumn;
    *row = cursorRow;
}

void MemoryConsole::restore(const Cell* cells, int column, int row) {
    for (int i = 0; i < SCREEN_CELLS; ++i) frame[i] = cells[i];
    cursorColumn = column;
    cursorRow = row;
}

void MemoryConsole::setCursor(int column, int row) {
    cursorColumn = column;
    cursorRow = row;
}

void MemoryConsole::getCursor(int* column, int* row) {
    *column = cursorColumn;
    *row = cursorRow;
}

void MemoryConsole::setCursorSize(int percent) {
    cursorSize = percent;
}

KeyCode MemoryConsole::readKey() {
    if (keys.empty())
        return KEY_NONE;
    KeyCode key = keys.front();
    keys.pop_front();
    return key;
}

KeyCode MemoryConsole::pollKey() {
    ++pollCount;
    if (typedAhead.empty())
        return KEY_NOT_READY;
    KeyCode key = typedAhead.front();
    typedAhead.pop_front();
    return key;
}

void MemoryConsole::setTitle(const char* title) {
    this->title = title ? title : "";
}

void MemoryConsole::windowSize(int* columns, int* rows) {
    *columns = this->columns;
    *rows = this->rows;
}

void MemoryConsole::pushKeys(std::initializer_list<KeyCode> keys) {
    for (KeyCode key : keys) this->keys.push_back(key);
}

void MemoryConsole::pushKey(KeyCode key) {
    keys.push_back(key);
}

std::string MemoryConsole::row(int r) const {
    return cp437StringToUtf8(rowBytes(r));
}

std::string MemoryConsole::rowBytes(int r) const {
    std::string bytes;
    if (r < 0 || r >= SCREEN_ROWS)
        return bytes;
    for (int c = 0; c < SCREEN_COLS; ++c) {
        bytes.push_back(static_cast<char>(frame[r * SCREEN_COLS + c].character & 0xFF));
    }
    return bytes;
}

std::vector<uint8_t> MemoryConsole::rowAttributes(int r) const {
    std::vector<uint8_t> attributes;
    if (r < 0 || r >= SCREEN_ROWS)
        return attributes;
    for (int c = 0; c < SCREEN_COLS; ++c) {
        attributes.push_back(static_cast<uint8_t>(frame[r * SCREEN_COLS + c].attributes));
    }
    return attributes;
}

std::string MemoryConsole::rowAttributeRuns(int r) const {
    std::vector<uint8_t> attributes = rowAttributes(r);
    std::string out;
    char run[16];
    for (size_t start = 0; start < attributes.size();) {
        size_t end = start;
        while (end < attributes.size() && attributes[end] == attributes[start]) ++end;
        std::snprintf(run, sizeof run, "%s%02Xx%zu", out.empty() ? "" : " ", attributes[start],
                      end - start);
        out += run;
        start = end;
    }
    return out;
}

std::string MemoryConsole::dump() const {
    std::string out = "screen after " + std::to_string(flushCount) + " flushes:\n";
    char number[8];
    for (int r = 0; r < SCREEN_ROWS; ++r) {
        std::snprintf(number, sizeof number, "%2d|", r);
        out += number;
        out += row(r);
        out += "|\n";
    }
    return out;
}
