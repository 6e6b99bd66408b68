// The two panels: title bar, status field, frames, entry rows and directory moves.
// All of them draw into the draw buffer from the state in `browser`.
#pragma once

#include <cstdint>
#include <string>

// Title bar, both panels' frames and headers, into the draw buffer.
void drawStaticScreen();
// Row 0 with the title line in `attribute` across all 80 cells.
void drawTitleBar(uint8_t attribute);
// Row 24: the key hints.
void drawHintLine();
// "  N file from M" at row 0, column 58.
void drawStatusField();
// Rows 3-22 of the left panel, then of the right panel.
void drawEntryRows();
// The tilde-marked 40-cell text of the row for child `index` of the current directory.
std::string formatEntryRow(int index, bool isCursorRow);
// The highlight attribute of that row.
uint8_t rowAttribute(int index, bool isCursorRow);
// Draws the row of child `index` at its screen place if it is visible.
void drawEntryRow(int index);
// Enter on a sub-directory / on "...".
void enterDirectory();
void leaveDirectory();

// The frame rows (1, 2 and 23) of the panel whose left column is `column` (0 or 40).
void drawPanelFrame(int column);
// The title line " DIR (KESTRALOS) ripper v1.52. <credit> ", at most 58 characters.
std::string formatTitleLine();
// The maker credit shown in the title line and the info box.
extern const char* const MAKER_CREDIT;
