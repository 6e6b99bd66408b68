// The 80 x 25 draw buffer, its runs with tilde markup, the saved screen and the cursor.
//
// Everything draws into the draw buffer only; nothing reaches the console
// until screenFlush. The state lives in `screen`; only screen.cpp writes it.
#pragma once

#include <cstdint>

constexpr int SCREEN_COLS = 80;
constexpr int SCREEN_ROWS = 25;
constexpr int SCREEN_CELLS = SCREEN_COLS * SCREEN_ROWS;

// One screen position, laid out as the console's CHAR_INFO: the code page 437
// character in the low byte of `character` (high byte 0), then the attribute.
struct Cell {
    uint16_t character = 0;
    uint16_t attributes = 0;
};
static_assert(sizeof(Cell) == 4);

// Colour attributes: bits 0-3 foreground, 4-7 background, bit 7 a bright background.
constexpr uint8_t ATTR_TITLE = 0x30;
constexpr uint8_t ATTR_TITLE_HIGHLIGHT = 0x3E;
constexpr uint8_t ATTR_ALERT = 0xC0;
constexpr uint8_t ATTR_PANEL = 0x1B;
constexpr uint8_t ATTR_PANEL_HIGHLIGHT = 0x1E;
constexpr uint8_t ATTR_BOX = 0x87;
constexpr uint8_t ATTR_FIELD = 0x0B;
constexpr uint8_t HIGHLIGHT_BITS = 0x0F;
constexpr uint8_t SHADOW_MASK = 0x07;

constexpr uint16_t CURSOR_HIDDEN = 0x2000;
constexpr uint16_t CURSOR_OVERWRITE = 0x0D0E;
constexpr uint16_t CURSOR_INSERT = 0x070E;

struct Screen {
    Cell draw[SCREEN_CELLS];   // the draw buffer, all zero at start
    Cell saved[SCREEN_CELLS];  // what the console showed, filled by screenSave
    Cell shown[SCREEN_CELLS];  // the frame the last screenFlush showed
    int savedColumn = 0;
    int savedRow = 0;
};
extern Screen screen;

// Every cell of the draw buffer becomes character 0, attribute 0.
void screenClear();
// Shows the whole draw buffer on the console; while the console's window is
// smaller than the grid, a notice saying the size needed takes its place.
void screenFlush();
// Shows the last flushed frame again as the console's window now takes it
// (the frame, or the notice while the window is too small): for a console
// whose window changed size.
void screenRepaint();
// Remembers the console's contents and cursor position.
void screenSave();
// Puts back what screenSave remembered.
void screenRestore();

// Moves the console cursor; the column comes first here.
void cursorSet(int column, int row);
// Reads the console cursor position.
void cursorGet(int* column, int* row);
// Sets the cursor's size and visibility from a display-adapter shape word.
void cursorShape(uint16_t shape);

// Writes `count` cells from a plain text at (row, column).
void putText(int row, int column, uint8_t attribute, const char* text, unsigned count);
// Writes `count` cells from a text in which '~' toggles to attribute | 0x0F.
void putMarkup(int row, int column, uint8_t attribute, const char* text, unsigned count);
// As putMarkup with the given highlight attribute and marker character.
void putMarked(int row, int column, uint8_t attribute, uint8_t highlight, const char* text,
               unsigned count, char marker);
// Darkens the shadow of a box whose last row is `bottom` and whose right edge
// is the column `right` (left + width).
void putShadow(int top, int left, int bottom, int right);
