#include "browser/help_more.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "browser/glyphs.h"
#include "console/screen.h"

const char* const MORE_HELP_LINES[MORE_HELP_LINE_COUNT] = {
    "╔══► ~More Commands~ ◄═══════════════════╗",
    "",
    "~f4~        - view file as text/hex",
    "~alt-f7~    - find entries by name",
    "~f5~        - put ripped files back",
    "~f8~        - delete entries",
    "~^z~        - undo the last change",
    "",
    "in the viewer:",
    "~↑~/~↓~       - scroll a line",
    "~pgup~/~pgdn~ - scroll a page",
    "~home~/~end~  - to begin/end of file",
    "~f4~        - switch text/hex view",
    "~esc~/~f10~   - back to the panels",
    "",
    "in the list of found entries:",
    "~return~    - go to the entry",
    "~esc~       - close the list",
    "╚═════════► press ~esc~ to leave help ◄══╝",
};

namespace {

// The second page is two rows taller than the first; from row 3 it and its
// shadow still stay within the entry rows, which the main loop draws again.
constexpr int MORE_HELP_TOP = 3;
constexpr int HELP_LEFT = 20;
constexpr unsigned BOX_WIDTH = 40;

}  // namespace

std::vector<std::string> helpPageTexts(const char* const* texts, size_t count) {
    std::vector<std::string> converted;
    for (size_t i = 0; i < count; ++i) converted.push_back(screenText(texts[i]));
    return converted;
}

void drawHelpPage(const std::vector<std::string>& lines, const int* marks, int top) {
    static const std::string side = screenText("║");
    const size_t last = lines.size() - 1;
    putMarkup(top, HELP_LEFT, ATTR_BOX, lines[0].c_str(), BOX_WIDTH);
    for (size_t i = 1; i < last; ++i) {
        // Markers take no cell, so the field widens by their number.
        char line[128];
        std::snprintf(line, sizeof line, "%s %-*s %s", side.c_str(), marks[i - 1] + 36,
                      lines[i].c_str(), side.c_str());
        putMarkup(top + int(i), HELP_LEFT, ATTR_BOX, line, BOX_WIDTH);
    }
    putMarkup(top + int(last), HELP_LEFT, ATTR_BOX, lines[last].c_str(), BOX_WIDTH);
    putShadow(top, HELP_LEFT, top + int(last), HELP_LEFT + BOX_WIDTH);
    screenFlush();
}

void waitForEsc() {
    // With no more input the box cannot be closed by a key: leave it, and the
    // main loop ends the run at its next read.
    for (;;) {
        KeyCode key = readKey();
        if (key == KEY_ESC || key == KEY_NONE)
            return;
    }
}

void showMoreHelp() {
    static const std::vector<std::string> lines =
        helpPageTexts(MORE_HELP_LINES, MORE_HELP_LINE_COUNT);
    static const std::vector<int> marks = [] {
        std::vector<int> counted;
        for (size_t i = 1; i + 1 < lines.size(); ++i)
            counted.push_back(static_cast<int>(std::count(lines[i].begin(), lines[i].end(), '~')));
        return counted;
    }();
    drawHelpPage(lines, marks.data(), MORE_HELP_TOP);
    waitForEsc();
}
