#include "browser/help_more.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "browser/glyphs.h"
#include "console/screen.h"

const char* const MORE_HELP_LINES[17] = {
    "╔══► ~More Commands~ ◄═══════════════════╗",
    "",
    "~f4~        - view file as text/hex",
    "~alt-f7~    - find entries by name",
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
    "",
    "╚═════════► press ~esc~ to leave help ◄══╝",
};

namespace {

constexpr int HELP_TOP = 4;
constexpr int HELP_LEFT = 20;
constexpr unsigned BOX_WIDTH = 40;

}  // namespace

std::vector<std::string> helpPageTexts(const char* const (&texts)[17]) {
    std::vector<std::string> converted;
    for (const char* text : texts) converted.push_back(screenText(text));
    return converted;
}

void drawHelpPage(const std::vector<std::string>& lines, const int* marks) {
    static const std::string side = screenText("║");
    putMarkup(HELP_TOP, HELP_LEFT, ATTR_BOX, lines[0].c_str(), BOX_WIDTH);
    for (size_t i = 1; i <= 15; ++i) {
        // Markers take no cell, so the field widens by their number.
        char line[128];
        std::snprintf(line, sizeof line, "%s %-*s %s", side.c_str(), marks[i - 1] + 36,
                      lines[i].c_str(), side.c_str());
        putMarkup(HELP_TOP + int(i), HELP_LEFT, ATTR_BOX, line, BOX_WIDTH);
    }
    putMarkup(HELP_TOP + 16, HELP_LEFT, ATTR_BOX, lines[16].c_str(), BOX_WIDTH);
    putShadow(HELP_TOP, HELP_LEFT, HELP_TOP + 16, HELP_LEFT + BOX_WIDTH);
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
    static const std::vector<std::string> lines = helpPageTexts(MORE_HELP_LINES);
    static const std::vector<int> marks = [] {
        std::vector<int> counted;
        for (size_t i = 1; i <= 15; ++i)
            counted.push_back(static_cast<int>(std::count(lines[i].begin(), lines[i].end(), '~')));
        return counted;
    }();
    drawHelpPage(lines, marks.data());
    waitForEsc();
}
