#include "browser/movement.h"

#include "archive/entry.h"

void moveUp(PanelState& panel, int /*count*/) {
    if (panel.cursor == panel.top) {
        if (panel.cursor > 0) {
            --panel.top;
            --panel.cursor;
        }
        return;
    }
    --panel.cursor;
}

void moveDown(PanelState& panel, int count) {
    if (panel.cursor >= count - 1)
        return;
    if (panel.cursor == panel.top + WINDOW_PLACES - 1)
        ++panel.top;
    ++panel.cursor;
}

void pageUp(PanelState& panel, int count) {
    if (count < WINDOW_PLACES) {
        panel.cursor = 0;
        return;
    }
    if (panel.top - PANEL_ROWS < 0) {
        panel.top = 0;
        panel.cursor = 0;
        return;
    }
    panel.top -= PANEL_ROWS;
    panel.cursor -= PANEL_ROWS;
}

void pageDown(PanelState& panel, int count) {
    if (count < WINDOW_PLACES) {
        panel.cursor = count - 1;
        return;
    }
    if (panel.top + WINDOW_PLACES + PANEL_ROWS <= count) {
        panel.top += PANEL_ROWS;
        panel.cursor += PANEL_ROWS;
        return;
    }
    panel.top = count - WINDOW_PLACES;
    panel.cursor = count - 1;
}

void moveHome(PanelState& panel, int /*count*/) {
    panel.cursor = 0;
    panel.top = 0;
}

void moveEnd(PanelState& panel, int count) {
    panel.cursor = count - 1;
    panel.top = panel.cursor > WINDOW_PLACES - 1 ? panel.cursor - (WINDOW_PLACES - 1) : 0;
}

void switchPanel(PanelState& panel, int count) {
    int target = panel.cursor <= panel.top + PANEL_ROWS - 1 ? panel.cursor + PANEL_ROWS
                                                            : panel.cursor - PANEL_ROWS;
    if (target <= count - 1)
        panel.cursor = target;
}

bool cursorInLeftPanel(const PanelState& panel) {
    return panel.cursor < panel.top + PANEL_ROWS;
}

Entry* childUnderCursor(const PanelState& panel) {
    if (panel.current == nullptr || panel.cursor < 0 ||
        size_t(panel.cursor) >= panel.current->children.size())
        return nullptr;
    return panel.current->children[size_t(panel.cursor)];
}
