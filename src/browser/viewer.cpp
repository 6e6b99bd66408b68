#include "browser/viewer.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "archive/entry.h"
#include "archive/search.h"
#include "archive/session.h"
#include "browser/movement.h"
#include "browser/state.h"
#include "browser/viewer_layout.h"
#include "console/screen.h"
#include "platform/archive_file.h"

namespace {

constexpr uint8_t VIEWER_TEXT_ATTRIBUTE = ATTR_PANEL;
constexpr uint8_t VIEWER_MARKER_ATTRIBUTE = ATTR_ALERT;
constexpr int VIEWER_FIRST_ROW = 1;
constexpr int PATH_FIELD = 49;

// The top row: the entry's path (its end, when long), size, view and percent.
std::string topRow(const std::string& path, uint64_t size, ViewMode mode, int percent) {
    std::string shown = path;
    if (shown.size() > static_cast<size_t>(PATH_FIELD - 1))
        shown = "..." + shown.substr(shown.size() - (PATH_FIELD - 4));
    std::string row = " " + shown;
    row.resize(PATH_FIELD, ' ');
    char figures[64];
    std::snprintf(figures, sizeof figures, "%12llu bytes  %-4s %3d%% ",
                  static_cast<unsigned long long>(size), mode == VIEW_HEX ? "hex" : "text",
                  percent);
    row += figures;
    row.resize(SCREEN_COLS, ' ');
    return row;
}

void drawPage(ViewerData* data, ViewMode mode, uint64_t top, const std::string& path) {
    // ↑ ↓ are the code page 437 arrows 0x18 and 0x19.
    static const char KEYS[] =
        " ~\x18~/~\x19~/~pgup~/~pgdn~/~home~/~end~: move   ~f4~: text/hex   "
        "~esc~/~f10~: back to the panels";
    std::vector<ViewRow> page = pageRows(data, mode, top, VIEWER_PAGE_ROWS);
    std::string title = topRow(path, data->size, mode, pagePercent(*data, page));
    putText(0, 0, ATTR_TITLE, title.c_str(), SCREEN_COLS);
    for (int r = 0; r < VIEWER_PAGE_ROWS; ++r) {
        std::string cells(SCREEN_COLS, ' ');
        uint8_t attribute = VIEWER_TEXT_ATTRIBUTE;
        if (r < static_cast<int>(page.size())) {
            const ViewRow& row = page[static_cast<size_t>(r)];
            if (row.endMarker) {
                cells = endOfArchiveRow(*data);
                attribute = VIEWER_MARKER_ATTRIBUTE;
            } else if (mode == VIEW_HEX) {
                cells = hexRow(data, row.start);
            } else {
                textRow(data, row.start, &cells);
            }
        }
        // NUL bytes were made blanks by the layout, so the run never ends early.
        putText(VIEWER_FIRST_ROW + r, 0, attribute, cells.c_str(), SCREEN_COLS);
    }
    putMarkup(SCREEN_ROWS - 1, 0, ATTR_BOX, KEYS, SCREEN_COLS);
}

}  // namespace

void viewEntry(const ArchiveFile& file, const Entry* entry) {
    if (entry == nullptr || entry->kind != KIND_FILE)
        return;
    const uint64_t offset = entry->info != nullptr ? entry->info->offset : 0;
    const uint64_t fileSize = file.size();
    const uint64_t available = offset >= fileSize ? 0 : fileSize - offset;
    ViewerData data;
    initViewerData(&data, entry->size, available,
                   [&file, offset](uint64_t at, void* buffer, size_t count) {
                       return file.readAt(offset + at, buffer, count);
                   });

    // The panels come back exactly as they were: the draw buffer is kept
    // whole, frames and title bar included, which the main loop never redraws.
    std::vector<Cell> saved(screen.draw, screen.draw + SCREEN_CELLS);

    const std::string path = pathBelowRoot(entry);
    ViewMode mode = sniffViewMode(&data);
    uint64_t top = 0;
    for (;;) {
        drawPage(&data, mode, top, path);
        screenFlush();
        KeyCode key = readKey();
        if (key == KEY_ESC || key == KEY_VIEW_LEAVE || key == KEY_NONE)
            break;
        switch (key) {
            case KEY_UP:
                top = scrollPage(&data, mode, top, -1, VIEWER_PAGE_ROWS);
                break;
            case KEY_DOWN:
                top = scrollPage(&data, mode, top, 1, VIEWER_PAGE_ROWS);
                break;
            case KEY_PGUP:
                top = scrollPage(&data, mode, top, -(VIEWER_PAGE_ROWS - 1), VIEWER_PAGE_ROWS);
                break;
            case KEY_PGDN:
                top = scrollPage(&data, mode, top, VIEWER_PAGE_ROWS - 1, VIEWER_PAGE_ROWS);
                break;
            case KEY_HOME:
                top = 0;
                break;
            case KEY_END:
                top = lastPageTop(&data, mode, VIEWER_PAGE_ROWS);
                break;
            case KEY_VIEW:
                mode = mode == VIEW_TEXT ? VIEW_HEX : VIEW_TEXT;
                // The same bytes stay at the top: the row that holds them.
                top = rowHolding(&data, mode, top);
                top = std::min(top, lastPageTop(&data, mode, VIEWER_PAGE_ROWS));
                break;
            default:
                break;
        }
    }
    std::copy(saved.begin(), saved.end(), screen.draw);
    screenFlush();
}

void viewFileUnderCursor() {
    const Entry* entry = childUnderCursor(browser.panel);
    if (entry == nullptr || entry->kind != KIND_FILE)
        return;
    // The data comes from the archive start-up opened, the very file the
    // tree was read from.
    if (browser.session == nullptr)
        return;
    viewEntry(browser.session->file(), entry);
}
