// The curses side of the terminal layer: drawing the grid, the cursor and the
// terminal's capability strings. Kept apart because curses.h defines KEY_*
// macros that clash with the key codes; nothing here mentions keys.
#pragma once

#include <string>

#include "console/screen.h"

// Why the terminal named by TERM cannot show a full screen, as one sentence
// (its type is unknown, or it cannot place the cursor, as "dumb"); empty when
// it can. Changes nothing and writes nothing.
std::string cursesRefusal();

// Starts curses on standard input and output: alternate screen, colours,
// keypad transmit mode. `utf8` says whether the locale takes UTF-8. Returns
// false when the terminal type is unknown (nothing is then changed).
bool cursesOpen(bool utf8);
// Ends curses for good; safe to call when not open.
void cursesClose();
// Gives the screen back (normal screen, cursor shown) without ending curses;
// the next cursesDraw takes it over again.
void cursesLeave();

// Shows the grid at the top-left of the terminal (what fits of it) and puts
// the cursor at (column, row); only what changed since the last call is sent.
void cursesDraw(const Cell* cells, int column, int row);
// Moves the terminal's cursor and sends nothing else.
void cursesMoveCursor(int column, int row);
// Hides the cursor (0), or shows it as a thin (up to 25) or a block cursor.
void cursesCursorSize(int percent);
// Takes the terminal's new size after a resize; the next draw repaints everything.
void cursesResize();
// The terminal's size in cells (width columns, height rows) as curses last took it.
void cursesWindowSize(int* width, int* height);

// The string capability `name` of the terminal, or null when it has none.
const char* cursesCapability(const char* name);
// The bytes that give the terminal back when curses cannot run: attributes
// off, a blank screen with the cursor at the start of the last row, cursor
// shown and normal, keypad mode off, normal screen.
std::string cursesRestoreSequence();
