#include "browser/view_place.h"

#include <algorithm>

#include "archive/entry.h"
#include "archive/search.h"
#include "archive/walk.h"
#include "browser/movement.h"

namespace {

// The child of `directory` that a place's name and kind lead to: the same
// one, or else the one that sorts right after it.
int nearestChild(const Entry* directory, const std::string& name, int32_t kind) {
    const std::vector<Entry*>& children = directory->children;
    if (children.empty())
        return -1;
    Entry probe;
    probe.kind = kind;
    probe.name = name;
    auto at = std::lower_bound(children.begin(), children.end(), &probe, entryBefore);
    if (at == children.end())
        return int(children.size()) - 1;
    return int(at - children.begin());
}

// A child of exactly this name and kind.
Entry* sameChild(const Entry* directory, const std::string& name, int32_t kind) {
    const int index = nearestChild(directory, name, kind);
    if (index < 0)
        return nullptr;
    Entry* child = directory->children[size_t(index)];
    return child->kind == kind && child->name == name ? child : nullptr;
}

// Calls `visit(file, key)` for every file below `root` that has an
// EntryInfo, `key` being its path as FileMarks keys it.
template <typename Visit>
void forEachFile(const Entry* root, Visit visit) {
    std::string key;
    std::vector<size_t> lengths;
    for (TreeWalk walk(root, WALK_WITHOUT_PATHS); walk.next();) {
        const Entry* entry = walk.entry();
        if (entry == root)
            continue;
        if (walk.step() == WALK_ENTER) {
            lengths.push_back(key.size());
            key.append(entry->name).push_back('\0');
        } else if (walk.step() == WALK_LEAVE) {
            key.resize(lengths.back());
            lengths.pop_back();
        } else if (entry->info != nullptr) {
            const size_t length = key.size();
            key.append(entry->name).push_back('\0');
            visit(entry, key);
            key.resize(length);
        }
    }
}

}  // namespace

ViewPlace placeOf(const PanelState& panel) {
    ViewPlace place;
    for (const Entry* at = panel.current; at != nullptr && at->parent != nullptr; at = at->parent)
        place.directory.push_back(at->name);
    std::reverse(place.directory.begin(), place.directory.end());
    if (const Entry* child = childUnderCursor(panel)) {
        place.cursorName = child->name;
        place.cursorKind = child->kind;
    }
    place.cursorPlace = panel.cursor - panel.top;
    return place;
}

int restorePlace(PanelState& panel, Entry* root, const ViewPlace& place) {
    Entry* shown = root;
    size_t depth = 0;
    for (; depth < place.directory.size(); ++depth) {
        Entry* below = sameChild(shown, place.directory[depth], KIND_SUBDIR);
        if (below == nullptr)
            break;
        // The way back up, as walking down with Enter would have left it.
        shown->savedCursor = childIndex(below);
        shown = below;
    }
    const bool same = depth == place.directory.size();
    const std::string& name = same ? place.cursorName : place.directory[depth];
    const int32_t kind = same ? place.cursorKind : int32_t(KIND_SUBDIR);
    const int count = int(shown->children.size());
    panel.current = shown;
    panel.cursor = std::max(0, nearestChild(shown, name, kind));
    const int lastTop = std::max(0, count - WINDOW_PLACES);
    const int wanted = panel.cursor - std::clamp(place.cursorPlace, 0, WINDOW_PLACES - 1);
    panel.top = std::clamp(wanted, 0, std::min(lastTop, panel.cursor));
    return same ? 1 : 0;
}

FileMarks marksOf(const Entry* root) {
    FileMarks marks;
    forEachFile(root, [&](const Entry* file, const std::string& key) {
        const uint8_t mark =
            (file->info->ripped ? MARK_RIPPED : 0) | (file->info->selected ? MARK_SELECTED : 0);
        if (mark != 0)
            marks.byPath[key] = mark;
    });
    return marks;
}

size_t applyMarks(Entry* root, const FileMarks& marks) {
    size_t marked = 0;
    if (marks.byPath.empty())
        return marked;
    forEachFile(root, [&](const Entry* file, const std::string& key) {
        auto found = marks.byPath.find(key);
        if (found == marks.byPath.end())
            return;
        file->info->ripped = (found->second & MARK_RIPPED) ? 1 : 0;
        file->info->selected = (found->second & MARK_SELECTED) ? 1 : 0;
        ++marked;
    });
    return marked;
}
