// The main loop: redraw, flush, read one key, act on it, until the run ends.
#pragma once

#include "console/keyboard.h"

// Runs passes until browser.terminationReason is set.
void runMainLoop();
// Acts on one key of the main screen as the key table says.
void handleKey(KeyCode key);
// Draws the hint line, status field and entry rows, and flushes the screen.
void drawMainScreen();
// The red title bar and the wait for a second Esc, which ends the run.
void exitPrompt();
