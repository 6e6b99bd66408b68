#include "browser/panels.h"

#include <cstdio>

#include "archive/entry.h"
#include "browser/glyphs.h"
#include "browser/movement.h"
#include "browser/state.h"
#include "console/screen.h"
#include "version.h"

const char* const MAKER_CREDIT = "by the dirrip developers";

namespace {

constexpr int FIRST_ENTRY_ROW = 3;
constexpr int STATUS_COLUMN = 58;
constexpr unsigned STATUS_WIDTH = 21;
constexpr unsigned PANEL_WIDTH = 40;
constexpr uint8_t ATTR_FILE_CURSOR = 0x30;
constexpr uint8_t ATTR_SELECTED_CURSOR = 0x3F;
constexpr uint8_t ATTR_SELECTED = 0x1F;
constexpr uint8_t ATTR_DIRECTORY_CURSOR = 0x34;
constexpr uint8_t ATTR_DIRECTORY = 0x13;

struct RowTexts {
    std::string fileRow = screenText("║~%-8.8s %3.3s~%c~%10u~│~%08X~│~ %3s ~║");
    std::string fileCursorRow = screenText("║~%-8.8s %3.3s%c%10u│%08X│ %3s ~║");
    std::string subdirRow = screenText("║~%-8.8s %3.3s%c  SUBDIR  │►NO-RIP◄│ %3s ~║");
    std::string updirRow = screenText("║~%-8.8s %3.3s%c  UP-DIR  │►NO-RIP◄│ %3s ~║");
    std::string otherRow = screenText("║~%-8.8s %3.3s%cTERMINATOR│►NO-RIP◄│ %3s ~║");
    std::string emptyRow = screenText("║%12s│%10s│%8s│%5s║");
    std::string frameTop = screenText("╔════════════╤══════════╤════════╤═════╗");
    std::string header = screenText("║   ~Entry~    │   ~Size~   │ ~Offset~ │ ~RIP~ ║");
    std::string frameBottom = screenText("╚════════════╧══════════╧════════╧═════╝");
    std::string hint = screenText(
        " ~insert:~ select, ~↑~/~↓~: move, ~tab~: switch panel, ~f2~: rip entry, "
        "~esc (twice)~: exit");
    char fitMarker = screenText("│")[0];
};

const RowTexts& texts() {
    static const RowTexts instance;
    return instance;
}

const Entry* childAt(int index) {
    const Entry* directory = browser.panel.current;
    if (directory == nullptr || index < 0 || index >= static_cast<int>(directory->children.size()))
        return nullptr;
    return directory->children[index];
}

struct NameField {
    std::string base;
    std::string extension;  // without its dot
    char marker;
};

NameField splitForRow(const Entry* entry) {
    NameField field;
    splitName(entry, nullptr, nullptr, &field.base, &field.extension);
    if (!field.extension.empty() && field.extension[0] == '.')
        field.extension.erase(0, 1);
    field.marker = (field.base.size() > 8 || field.extension.size() > 3) ? '>' : texts().fitMarker;
    return field;
}

std::string formatRow(const Entry* entry, bool isCursorRow, const NameField& name) {
    char row[256];
    const RowTexts& t = texts();
    if (entry == nullptr) {
        std::snprintf(row, sizeof row, t.emptyRow.c_str(), "", "", "", "");
        return row;
    }
    const char* base = name.base.c_str();
    const char* extension = name.extension.c_str();
    switch (entry->kind) {
        case KIND_FILE: {
            const char* ripped = (entry->info != nullptr && entry->info->ripped) ? "yes" : "";
            unsigned offset = entry->info != nullptr ? entry->info->offset : 0;
            const std::string& format = isCursorRow ? t.fileCursorRow : t.fileRow;
            // Sizes are unsigned: a size of 2 GB or more must not show as negative.
            std::snprintf(row, sizeof row, format.c_str(), base, extension, name.marker,
                          static_cast<unsigned>(entry->size), offset, ripped);
            break;
        }
        case KIND_SUBDIR:
            std::snprintf(row, sizeof row, t.subdirRow.c_str(), base, extension, name.marker,
                          "---");
            break;
        case KIND_UPDIR:
            std::snprintf(row, sizeof row, t.updirRow.c_str(), base, extension, name.marker, "---");
            break;
        default:
            std::snprintf(row, sizeof row, t.otherRow.c_str(), base, extension, name.marker, "---");
            break;
    }
    return row;
}

bool holdsMarker(const std::string& text) {
    return text.find('~') != std::string::npos;
}

std::string withoutMarkers(std::string text) {
    for (char& c : text)
        if (c == '~')
            c = ' ';
    return text;
}

}  // namespace

std::string formatTitleLine() {
    char line[128];
    std::snprintf(line, sizeof line, " DIR (KESTRALOS) ripper v%d.%02d. %s ", VERSION_MAJOR,
                  VERSION_MINOR, MAKER_CREDIT);
    return line;
}

void drawTitleBar(uint8_t attribute) {
    putText(0, 0, attribute, browser.titleLine.c_str(), SCREEN_COLS);
}

void drawPanelFrame(int column) {
    const RowTexts& t = texts();
    putMarkup(1, column, ATTR_PANEL, t.frameTop.c_str(), PANEL_WIDTH);
    putMarked(2, column, ATTR_PANEL, ATTR_PANEL_HIGHLIGHT, t.header.c_str(), PANEL_WIDTH, '~');
    putMarkup(23, column, ATTR_PANEL, t.frameBottom.c_str(), PANEL_WIDTH);
}

void drawStaticScreen() {
    drawTitleBar(ATTR_TITLE);
    drawPanelFrame(0);
    drawPanelFrame(40);
}

void drawHintLine() {
    putMarkup(24, 0, ATTR_BOX, texts().hint.c_str(), SCREEN_COLS);
}

void drawStatusField() {
    int count =
        browser.panel.current ? static_cast<int>(browser.panel.current->children.size()) : 0;
    char field[64];
    int length =
        std::snprintf(field, sizeof field, "~%5d file from %-5d~", browser.panel.cursor + 1, count);
    // Counts of six digits and more would be cut at the field's end: such a
    // field grows to the left over the title line's trailing blanks instead.
    unsigned visible = static_cast<unsigned>(length - 2);
    int column = STATUS_COLUMN;
    if (visible > STATUS_WIDTH)
        column = STATUS_COLUMN + STATUS_WIDTH - visible;
    putMarked(0, column, ATTR_TITLE, ATTR_TITLE_HIGHLIGHT, field,
              visible > STATUS_WIDTH ? visible : STATUS_WIDTH, '~');
}

std::string formatEntryRow(int index, bool isCursorRow) {
    const Entry* entry = childAt(index);
    NameField name;
    if (entry != nullptr)
        name = splitForRow(entry);
    return formatRow(entry, isCursorRow, name);
}

uint8_t rowAttribute(int index, bool isCursorRow) {
    const Entry* entry = childAt(index);
    if (entry == nullptr)
        return ATTR_PANEL;
    if (entry->kind == KIND_FILE) {
        bool selected = entry->info != nullptr && entry->info->selected;
        if (selected)
            return isCursorRow ? ATTR_SELECTED_CURSOR : ATTR_SELECTED;
        return isCursorRow ? ATTR_FILE_CURSOR : ATTR_PANEL;
    }
    return isCursorRow ? ATTR_DIRECTORY_CURSOR : ATTR_DIRECTORY;
}

void drawEntryRow(int index) {
    const PanelState& panel = browser.panel;
    int place = index - panel.top;
    if (place < 0 || place >= WINDOW_PLACES)
        return;
    int row = FIRST_ENTRY_ROW + place % PANEL_ROWS;
    int column = place < PANEL_ROWS ? 0 : 40;
    bool isCursorRow = index == panel.cursor;
    uint8_t highlight = rowAttribute(index, isCursorRow);

    const Entry* entry = childAt(index);
    NameField name;
    if (entry != nullptr)
        name = splitForRow(entry);
    if (entry == nullptr || (!holdsMarker(name.base) && !holdsMarker(name.extension))) {
        std::string text = formatRow(entry, isCursorRow, name);
        putMarked(row, column, ATTR_PANEL, highlight, text.c_str(), PANEL_WIDTH, '~');
        return;
    }
    // A '~' in a name would switch colours and shift the whole row. Draw the
    // row with blanks in its place, then put the name's own characters into
    // the name cells in the colours the row gave them.
    NameField blanked{withoutMarkers(name.base), withoutMarkers(name.extension), name.marker};
    std::string text = formatRow(entry, isCursorRow, blanked);
    putMarked(row, column, ATTR_PANEL, highlight, text.c_str(), PANEL_WIDTH, '~');
    char nameCells[16];
    std::snprintf(nameCells, sizeof nameCells, "%-8.8s %3.3s", name.base.c_str(),
                  name.extension.c_str());
    for (int i = 0; i < 12; ++i) {
        int cellColumn = column + 1 + i;
        uint8_t attribute =
            static_cast<uint8_t>(screen.draw[row * SCREEN_COLS + cellColumn].attributes);
        putText(row, cellColumn, attribute, &nameCells[i], 1);
    }
}

void drawEntryRows() {
    const PanelState& panel = browser.panel;
    for (int place = 0; place < WINDOW_PLACES; ++place) drawEntryRow(panel.top + place);
}

void enterDirectory() {
    PanelState& panel = browser.panel;
    Entry* child = const_cast<Entry*>(childAt(panel.cursor));
    if (child == nullptr)
        return;
    panel.current->savedCursor = panel.cursor;
    panel.current = child;
    panel.cursor = 0;
    panel.top = 0;
}

void leaveDirectory() {
    PanelState& panel = browser.panel;
    if (panel.current == nullptr || panel.current->parent == nullptr)
        return;
    panel.current = panel.current->parent;
    int count = static_cast<int>(panel.current->children.size());
    panel.cursor = panel.current->savedCursor;
    if (panel.cursor > count - 1)
        panel.cursor = count - 1;
    if (panel.cursor < 0)
        panel.cursor = 0;
    panel.top = panel.cursor > WINDOW_PLACES - 1 ? panel.cursor - (WINDOW_PLACES - 1) : 0;
}
