#include "browser/find.h"

#include <algorithm>
#include <string>
#include <vector>

#include "archive/entry.h"
#include "archive/search.h"
#include "archive/wildmatch.h"
#include "browser/find_list.h"
#include "browser/state.h"
#include "console/keyboard.h"
#include "console/screen.h"
#include "console/window.h"

namespace {

constexpr int FIND_MASK_MAXIMUM = 32;
constexpr int LIST_LEFT = 2;
constexpr int LIST_TOP = 2;
constexpr int LIST_WIDTH = 76;
constexpr int LIST_HEIGHT = FIND_LIST_ROWS + 2;
constexpr uint8_t LIST_CURSOR_ATTRIBUTE = ATTR_TITLE;

// The mask keeps the last text for the whole run, as the selection mask does.
char findMask[FIND_MASK_MAXIMUM + 1] = "*";
InputLine findLine;

InputLine& findField() {
    if (findLine.buffer == nullptr) {
        findLine.maximum = FIND_MASK_MAXIMUM;
        findLine.promptAttribute = ATTR_BOX;
        findLine.textAttribute = ATTR_FIELD;
        findLine.prompt = "Mask";
        findLine.buffer = findMask;
    }
    findLine.columnOffset = 2;
    findLine.rowOffset = 1;
    return findLine;
}

void drawList(const std::vector<const Entry*>& found, const FindListState& list,
              const std::string& title) {
    drawWindow(title.c_str(), LIST_LEFT, LIST_TOP, LIST_WIDTH, LIST_HEIGHT, ATTR_BOX);
    putShadow(LIST_TOP, LIST_LEFT, LIST_TOP + LIST_HEIGHT - 1, LIST_LEFT + LIST_WIDTH);
    if (found.empty()) {
        putText(LIST_TOP + 1, LIST_LEFT + 2, ATTR_BOX, "no entry matches the mask",
                FIND_PATH_CELLS);
        return;
    }
    for (int r = 0; r < FIND_LIST_ROWS; ++r) {
        int index = list.top + r;
        if (index >= list.count)
            break;
        std::string cells =
            " " + foundPathCells(found[static_cast<size_t>(index)], FIND_PATH_CELLS) + " ";
        uint8_t attribute = index == list.cursor ? LIST_CURSOR_ATTRIBUTE : ATTR_BOX;
        putText(LIST_TOP + 1 + r, LIST_LEFT + 1, attribute, cells.c_str(),
                static_cast<unsigned>(cells.size()));
    }
}

}  // namespace

void findByNameDialog() {
    // The list covers the panel frames, which the main loop never redraws.
    const std::vector<Cell> saved(screen.draw, screen.draw + SCREEN_CELLS);
    auto putBack = [&saved] { std::copy(saved.begin(), saved.end(), screen.draw); };

    InputLine& line = findField();
    PatternError error = PATTERN_OK;
    if (inputDialog(19, 11, FIND_MASK_MAXIMUM + 10, 3, ATTR_BOX, &line, "find by name") == 0 ||
        !isValidWildPattern(line.buffer, &error)) {
        putBack();
        return;
    }
    std::vector<const Entry*> found = findByName(browser.root, line.buffer);
    FindListState list;
    list.count = static_cast<int>(found.size());
    const std::string title = foundTitle(found.size(), line.buffer);
    putBack();
    for (;;) {
        drawList(found, list, title);
        screenFlush();
        KeyCode key = readKey();
        switch (key) {
            case KEY_NONE:
            case KEY_ESC:
                putBack();
                return;
            case KEY_ENTER:
                putBack();
                if (list.count == 0)
                    return;
                showEntryInPanels(browser.panel, found[static_cast<size_t>(list.cursor)]);
                return;
            case KEY_UP:
                moveFindCursor(list, -1, FIND_LIST_ROWS);
                break;
            case KEY_DOWN:
                moveFindCursor(list, 1, FIND_LIST_ROWS);
                break;
            case KEY_PGUP:
                moveFindCursor(list, -FIND_LIST_ROWS, FIND_LIST_ROWS);
                break;
            case KEY_PGDN:
                moveFindCursor(list, FIND_LIST_ROWS, FIND_LIST_ROWS);
                break;
            case KEY_HOME:
                moveFindCursor(list, -list.count, FIND_LIST_ROWS);
                break;
            case KEY_END:
                moveFindCursor(list, list.count, FIND_LIST_ROWS);
                break;
            default:
                break;
        }
    }
}
