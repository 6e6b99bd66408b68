#include "browser/status_line.h"

#include <algorithm>

#include "console/screen.h"

namespace {

constexpr int STATUS_ROW = 24;

}  // namespace

void showNamedLine(const std::string& before, const std::string& name, const std::string& after) {
    const std::string line = before + name + after;
    putText(STATUS_ROW, 0, ATTR_BOX, line.c_str(), SCREEN_COLS);
    if (before.size() < size_t(SCREEN_COLS)) {
        size_t cells = std::min(name.size(), size_t(SCREEN_COLS) - before.size());
        putText(STATUS_ROW, int(before.size()), ATTR_BOX | 0x0F, name.c_str(), unsigned(cells));
    }
    screenFlush();
}

void drawNotice(const std::string& text) {
    putText(STATUS_ROW, 0, ATTR_ALERT, text.c_str(), SCREEN_COLS);
}

void drawReport(const std::string& text) {
    putText(STATUS_ROW, 0, ATTR_BOX, text.c_str(), SCREEN_COLS);
}
