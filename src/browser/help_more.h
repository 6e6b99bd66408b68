// The help box's pages: how a page is drawn, and the second page (F1 inside
// the help box) with the keys of the viewer and of find by name, which the
// first page does not list.
#pragma once

#include <string>
#include <vector>

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

// Draws the second page over the first and waits. Returns 1 when F1 asks for
// the first page again, 0 when Esc (or the end of input) leaves the help box.
int showMoreHelp();
