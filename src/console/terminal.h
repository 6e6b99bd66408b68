// The console on a real terminal: ncursesw for the screen, our own key decoder
// for the keyboard.
//
// After terminalOpen the draw layer's flush, save, restore, cursor and
// readKey, and the backend's setTitle, work on the terminal.
#pragma once

// Takes over the terminal (alternate screen, raw keys, colours, code page 437
// glyphs), installs it as the console backend and installs signal handlers that
// give the terminal back on the way out. Returns false, touching nothing, when
// standard input or output is not a terminal or its type is unknown.
bool terminalOpen();

// Gives the terminal back (normal screen, cursor shown, modes restored) and
// removes the backend; safe to call twice or without terminalOpen.
void terminalClose();
