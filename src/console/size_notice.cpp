// The notice for a window too small for the grid. A cropped screen would
// hide the right panel and the counter without a word, and keys would act on
// rows the user cannot see.
#include "console/size_notice.h"

#include <cstdio>
#include <string>

namespace {

constexpr uint8_t NOTICE_ATTRIBUTE = ATTR_ALERT;

// The longest form of the notice for a window of `columns` x `rows` that fits
// `room` cells, cut when none does.
std::string noticeText(int columns, int rows, int room) {
    char text[2][96];
    std::snprintf(text[0], sizeof text[0], "window too small: needs %d x %d, now %d x %d",
                  SCREEN_COLS, SCREEN_ROWS, columns, rows);
    std::snprintf(text[1], sizeof text[1], "needs %dx%d, now %dx%d", SCREEN_COLS, SCREEN_ROWS,
                  columns, rows);
    for (const char* candidate : text) {
        if (static_cast<int>(std::string(candidate).size()) <= room)
            return candidate;
    }
    return std::string(text[1]).substr(0, static_cast<size_t>(room));
}

}  // namespace

bool windowHoldsGrid(int columns, int rows) {
    return columns >= SCREEN_COLS && rows >= SCREEN_ROWS;
}

void sizeNoticeFrame(int columns, int rows, Cell* cells) {
    for (int i = 0; i < SCREEN_CELLS; ++i) cells[i] = Cell{};
    if (columns <= 0 || rows <= 0)
        return;
    // Only the top-left part of the grid is visible: centre within it.
    const int shownColumns = columns < SCREEN_COLS ? columns : SCREEN_COLS;
    const int shownRows = rows < SCREEN_ROWS ? rows : SCREEN_ROWS;
    const std::string text = noticeText(columns, rows, shownColumns);
    const int row = (shownRows - 1) / 2;
    const int column = (shownColumns - static_cast<int>(text.size())) / 2;
    for (size_t i = 0; i < text.size(); ++i) {
        cells[row * SCREEN_COLS + column + static_cast<int>(i)] =
            Cell{static_cast<uint16_t>(static_cast<unsigned char>(text[i])), NOTICE_ATTRIBUTE};
    }
}
