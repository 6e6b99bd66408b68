// The help box's pages: how a page is drawn, and the second page (Shift-F1
// in the panels) with the keys of the viewer and of find by name, which the
// first page does not list.
#pragma once

#include <string>
#include <vector>

#include "console/keyboard.h"

// The panels' key for the second page; the panels' key table leaves it free.
constexpr KeyCode KEY_MORE_HELP = KEY_SHIFT_F1;

// The 17 texts of a help page (top frame, 15 body lines in tilde markup,
// bottom frame) converted for the screen.
std::vector<std::string> helpPageTexts(const char* const (&texts)[17]);

// Draws one page of the help box from its 17 screen texts (helpPageTexts),
// `marks[i]` being the number of markers in body line i + 1 (they take no
// cell), with its shadow, and flushes.
void drawHelpPage(const std::vector<std::string>& lines, const int* marks);

// The 17 texts of the second page in tilde markup: top frame, 15 body lines,
// bottom frame; the same box as the first page.
extern const char* const MORE_HELP_LINES[17];

// Reads keys until Esc (or the end of input); every other key is ignored.
void waitForEsc();

// Draws the second page in the help box's place and waits for Esc (or the
// end of input), as the first page does.
void showMoreHelp();
