// The program's own terminal or console window: taken over for the browser
// and given back exactly once, whichever way the program ends.
//
// One implementation per platform folder (posix/terminal.cpp, ...). While the
// terminal is taken, it is the active ConsoleBackend (console/backend.h): the
// draw layer's flush, save, restore and cursor, the keyboard's readKey and
// the window title all go to it.
#pragma once

// Takes over the terminal (a screen of the program's own, raw keys, colours,
// code page 437 glyphs), throws away the keys typed before, installs it as
// the console backend and has the interrupt handlers (platform/signals.h)
// give it back. Returns false, touching nothing, when standard input or
// output is not a terminal or it cannot show a full screen (terminalRefusal
// then says why).
bool terminalOpen();

// Why the last terminalOpen refused although standard input and output are a
// terminal: one sentence for the user when that terminal cannot show a full
// screen (its type is unknown, or it cannot place the cursor, as TERM=dumb);
// null when it did not refuse, or refused only for want of a terminal.
const char* terminalRefusal();

// Gives the terminal back (its own screen or, where it has none, a clean one
// with the cursor at the start of the last row; cursor shown, modes
// restored) and removes the backend; safe to call twice or without
// terminalOpen.
void terminalClose();

// Throws away every key typed and not yet read (keys pressed during a long
// load or operation); safe without terminalOpen.
void terminalDiscardInput();
