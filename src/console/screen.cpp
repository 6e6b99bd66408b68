// The draw buffer and its run operations, and the hand-over to the active console.
#include "console/screen.h"

#include <algorithm>

#include "console/backend.h"
#include "console/size_notice.h"

Screen screen;

namespace {

// Writes one cell by its cell number; cells outside the grid are dropped so
// that a run or shadow placed too far out can never write past the buffer.
inline void setCell(long position, unsigned char character, uint8_t attribute) {
    if (position < 0 || position >= SCREEN_CELLS)
        return;
    screen.draw[position].character = character;
    screen.draw[position].attributes = attribute;
}

inline void shadeCell(int row, int column) {
    if (row < 0 || row >= SCREEN_ROWS || column < 0 || column >= SCREEN_COLS)
        return;
    Cell& cell = screen.draw[row * SCREEN_COLS + column];
    cell.attributes = cell.attributes & SHADOW_MASK;
}

// The common run writer; marker 0 means the text holds no markup.
void writeRun(int row, int column, uint8_t attribute, uint8_t highlight, const char* text,
              unsigned count, char marker) {
    if (text == nullptr)
        text = "";
    uint8_t current = attribute;
    bool highlighted = false;
    long position = static_cast<long>(row) * SCREEN_COLS + column;
    for (unsigned i = 0; i < count; ++i, ++position) {
        // Only one marker per cell: a second marker right after a toggle is shown as itself.
        if (marker != 0 && *text == marker) {
            ++text;
            highlighted = !highlighted;
            current = highlighted ? highlight : attribute;
        }
        unsigned char character = static_cast<unsigned char>(*text);
        if (character != 0)
            ++text;
        setCell(position, character, current);
    }
}

}  // namespace

void screenClear() {
    for (Cell& cell : screen.draw) cell = Cell{};
}

void screenFlush() {
    std::copy(screen.draw, screen.draw + SCREEN_CELLS, screen.shown);
    screenRepaint();
}

void screenRepaint() {
    ConsoleBackend* backend = consoleBackend();
    if (backend == nullptr)
        return;
    int columns = SCREEN_COLS;
    int rows = SCREEN_ROWS;
    backend->windowSize(&columns, &rows);
    if (windowHoldsGrid(columns, rows)) {
        backend->flush(screen.shown);
        return;
    }
    // The frame stays in `shown`, so that the panels come back as soon as
    // the window is big enough again.
    static Cell notice[SCREEN_CELLS];
    sizeNoticeFrame(columns, rows, notice);
    backend->flush(notice);
}

void screenSave() {
    if (ConsoleBackend* backend = consoleBackend()) {
        backend->save(screen.saved, &screen.savedColumn, &screen.savedRow);
    }
}

void screenRestore() {
    if (ConsoleBackend* backend = consoleBackend()) {
        backend->restore(screen.saved, screen.savedColumn, screen.savedRow);
    }
}

void cursorSet(int column, int row) {
    if (ConsoleBackend* backend = consoleBackend())
        backend->setCursor(column, row);
}

void cursorGet(int* column, int* row) {
    *column = 0;
    *row = 0;
    if (ConsoleBackend* backend = consoleBackend())
        backend->getCursor(column, row);
}

void cursorShape(uint16_t shape) {
    // The display adapter's shape word: first scan line in bits 8-11, last in the low byte.
    unsigned size = ((15u - ((shape >> 8) & 15u)) & shape) * 100u / 16u;
    if (ConsoleBackend* backend = consoleBackend()) {
        backend->setCursorSize(static_cast<int>(size));
    }
}

void putText(int row, int column, uint8_t attribute, const char* text, unsigned count) {
    writeRun(row, column, attribute, attribute, text, count, 0);
}

void putMarkup(int row, int column, uint8_t attribute, const char* text, unsigned count) {
    writeRun(row, column, attribute, attribute | HIGHLIGHT_BITS, text, count, '~');
}

void putMarked(int row, int column, uint8_t attribute, uint8_t highlight, const char* text,
               unsigned count, char marker) {
    writeRun(row, column, attribute, highlight, text, count, marker);
}

void putShadow(int top, int left, int bottom, int right) {
    for (int column = left + 2; column <= right + 1; ++column) shadeCell(bottom + 1, column);
    for (int row = top + 1; row <= bottom; ++row) shadeCell(row, right + 1);
}
