// The Windows console as the program's console backend: a screen buffer of
// the program's own, code page 437 glyphs as Unicode, keys from console input
// events. The user's screen buffer, title and input mode come back at close.
#pragma once

#include "console/backend.h"

// Opens the console of the process (CONIN$, and the active screen buffer
// through CONOUT$), makes a screen buffer of the program's own the active one
// (at least 80 x 25, no wrapping), sets the raw input mode and throws away
// pending input. Frames and arrows are drawn in ASCII where the console's
// code page draws them two cells wide. Returns the backend (owned by this
// file) or null, touching nothing, when the process has no console.
ConsoleBackend* windowsConsoleOpen();

// Puts back the screen buffer, title and input mode the console had at open
// and releases the program's buffer; safe to call twice and without open.
void windowsConsoleClose();

// The same for the control handler's thread just before the process ends:
// waits for an open or close the main thread is in the middle of, gives the
// console back, and keeps it from being taken again.
void windowsConsoleCloseForExit();

// Throws away every pending console input event; safe without open.
void windowsConsoleDiscardInput();
