// The box that asks before a change is made: a framed window with a shadow
// over the panels, in the colours of the other boxes.
#pragma once

#include <string>
#include <vector>

// Widest text a line of the box shows; longer lines are cut.
constexpr int CONFIRM_TEXT_CELLS = 54;
// Most lines the box holds besides its frame, its blank lines and the line of keys.
constexpr int CONFIRM_MOST_LINES = 12;

// Draws the box titled `title` with `lines` (code page 437, shown exactly as
// they are: no markup) and, below a blank line, `keys` (tilde markup: what
// Enter and Esc do), then waits. Returns 1 when Enter is pressed,
// 0 when Esc is (or when no key will come); every other key is ignored. The
// box stays in the draw buffer, within the entry rows, which the main loop
// draws again.
int confirmBox(const char* title, const std::vector<std::string>& lines, const std::string& keys);
