// The help box's second page (F1 inside the help box): the keys of the
// viewer and of find by name, which the first page does not list.
#pragma once

// The 17 texts of the second page in tilde markup: top frame, 15 body lines,
// bottom frame; the same box as the first page.
extern const char* const MORE_HELP_LINES[17];

// Draws the second page over the first and waits. Returns 1 when F1 asks for
// the first page again, 0 when Esc (or the end of input) leaves the help box.
int showMoreHelp();
