#include "browser/find_list.h"

#include <algorithm>

#include "archive/entry.h"
#include "archive/search.h"
#include "browser/movement.h"

void moveFindCursor(FindListState& list, int step, int rows) {
    if (list.count <= 0) {
        list.cursor = list.top = 0;
        return;
    }
    list.cursor = std::clamp(list.cursor + step, 0, list.count - 1);
    if (list.cursor < list.top)
        list.top = list.cursor;
    if (list.cursor >= list.top + rows)
        list.top = list.cursor - rows + 1;
}

std::string foundPathCells(const Entry* entry, int cells) {
    std::string path = pathBelowRoot(entry);
    if (entry->kind != KIND_FILE)
        path += '\\';
    const size_t width = static_cast<size_t>(cells);
    if (path.size() > width)
        path = "..." + path.substr(path.size() - (width - 3));
    path.resize(width, ' ');
    return path;
}

std::string foundTitle(size_t count, const std::string& mask) {
    std::string shown = mask;
    std::replace(shown.begin(), shown.end(), '~', '?');
    return std::to_string(count) + " found for " + shown;
}

int showEntryInPanels(PanelState& panel, const Entry* entry) {
    if (entry == nullptr || entry->parent == nullptr)
        return 0;
    int index = childIndex(entry);
    if (index < 0)
        return 0;
    // Each directory on the way remembers which child leads down, as if the
    // user had walked there with Enter.
    for (const Entry* below = entry->parent; below->parent != nullptr; below = below->parent) {
        int at = childIndex(below);
        if (at < 0)
            return 0;
        below->parent->savedCursor = at;
    }
    panel.current = entry->parent;
    panel.cursor = index;
    panel.top = index > WINDOW_PLACES - 1 ? index - (WINDOW_PLACES - 1) : 0;
    return 1;
}
