// The Windows console as the program's console backend: a screen buffer of
// the program's own, code page 437 glyphs as Unicode, keys from console input
// events. The user's screen buffer, title and input mode come back at close.
#pragma once

#include "console/backend.h"

// Opens the console of the process (CONIN$, and the active screen buffer
// through CONOUT$), makes a screen buffer of the program's own the active one
// (at least 80 x 25, no wrapping), sets the raw input mode and throws away
// pending input. Returns the backend (owned by this file) or null, touching
// nothing, when the process has no console.
ConsoleBackend* windowsConsoleOpen();

// Puts back the screen buffer, title and input mode the console had at open
// and releases the program's buffer; safe to call twice, without open, and
// from the console's control-handler thread.
void windowsConsoleClose();

// Throws away every pending console input event; safe without open.
void windowsConsoleDiscardInput();
