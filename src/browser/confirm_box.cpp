#include "browser/confirm_box.h"

#include <algorithm>

#include "console/keyboard.h"
#include "console/screen.h"
#include "console/window.h"

namespace {

constexpr int BOX_WIDTH = CONFIRM_TEXT_CELLS + 4;
constexpr int BOX_LEFT = (SCREEN_COLS - BOX_WIDTH) / 2;
// The box and its shadow stay within rows 3 to 22, which every pass of the
// main loop draws again; the frame rows of the panels are never touched.
constexpr int FIRST_ROW = 3;
constexpr int LAST_ROW = 22;
static_assert(CONFIRM_MOST_LINES + 5 + 1 <= LAST_ROW - FIRST_ROW + 1, "the box fits the rows");

}  // namespace

int confirmBox(const char* title, const std::vector<std::string>& lines, const std::string& keys) {
    const int shown = std::min(int(lines.size()), CONFIRM_MOST_LINES);
    // Frame, a blank line, the lines, a blank line, the keys, frame.
    const int height = shown + 5;
    const int top = FIRST_ROW + (LAST_ROW - FIRST_ROW + 1 - (height + 1)) / 2;
    drawWindow(title, BOX_LEFT, top, BOX_WIDTH, height, ATTR_BOX);
    for (int i = 0; i < shown; ++i)
        putText(top + 2 + i, BOX_LEFT + 2, ATTR_BOX, lines[size_t(i)].c_str(), CONFIRM_TEXT_CELLS);
    putMarkup(top + height - 2, BOX_LEFT + 2, ATTR_BOX, keys.c_str(), CONFIRM_TEXT_CELLS);
    putShadow(top, BOX_LEFT, top + height - 1, BOX_LEFT + BOX_WIDTH);
    screenFlush();
    for (;;) {
        const KeyCode key = readKey();
        if (key == KEY_ENTER || key == KEY_PAD_ENTER)
            return 1;
        if (key == KEY_ESC || key == KEY_NONE)
            return 0;
    }
}
