#include "browser/help_more.h"

#include <algorithm>
#include <string>
#include <vector>

#include "browser/boxes.h"
#include "browser/glyphs.h"
#include "console/keyboard.h"

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
    "╚═══► ~f1~ first page, ~esc~ leave help ◄══╝",
};

int showMoreHelp() {
    static const std::vector<std::string> lines = [] {
        std::vector<std::string> converted;
        for (const char* line : MORE_HELP_LINES) converted.push_back(screenText(line));
        return converted;
    }();
    static const std::vector<int> marks = [] {
        std::vector<int> counted;
        for (size_t i = 1; i <= 15; ++i)
            counted.push_back(static_cast<int>(std::count(lines[i].begin(), lines[i].end(), '~')));
        return counted;
    }();
    drawHelpPage(lines, marks.data());
    for (;;) {
        KeyCode key = readKey();
        if (key == KEY_F1)
            return 1;
        if (key == KEY_ESC || key == KEY_NONE)
            return 0;
    }
}
