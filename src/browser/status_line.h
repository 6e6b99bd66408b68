// Row 24 while an action runs or after it failed: progress, wait and notice
// lines. Names are drawn cell by cell, so no character of a name (a '~'
// above all) can switch colours or vanish.
#pragma once

#include <string>

// Draws `before`, `name` and `after` on row 24 across all 80 cells in the
// box colour, the name in its highlight, and shows the screen at once.
void showNamedLine(const std::string& before, const std::string& name, const std::string& after);
// Draws `text` on row 24 across all 80 cells in the alert colour.
void drawNotice(const std::string& text);
// Draws `text` on row 24 across all 80 cells in the box colour (what was done).
void drawReport(const std::string& text);
