// The help box's pages: how a page is drawn, and the second page (Shift-F1
// in the panels) with the keys the first page does not list: the viewer,
// find by name, and changing the archive.
#pragma once

#include <string>
#include <vector>

#include "console/keyboard.h"

// The panels' key for the second page; the panels' key table leaves it free.
constexpr KeyCode KEY_MORE_HELP = KEY_SHIFT_F1;

// The `count` texts of a help page (top frame, body lines in tilde markup,
// bottom frame) converted for the screen.
std::vector<std::string> helpPageTexts(const char* const* texts, size_t count);

// Draws one page of the help box from its screen texts (helpPageTexts) with
// its top frame on row `top`, `marks[i]` being the number of markers in body
// line i + 1 (they take no cell), with its shadow, and flushes.
void drawHelpPage(const std::vector<std::string>& lines, const int* marks, int top);

// The texts of the second page in tilde markup: top frame, 17 body lines,
// bottom frame; as wide as the first page, two rows taller.
constexpr size_t MORE_HELP_LINE_COUNT = 19;
extern const char* const MORE_HELP_LINES[MORE_HELP_LINE_COUNT];

// Reads keys until Esc (or the end of input); every other key is ignored.
void waitForEsc();

// Draws the second page in the help box's place and waits for Esc (or the
// end of input), as the first page does.
void showMoreHelp();
