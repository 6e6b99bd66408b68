#include "archive/search.h"

#include <algorithm>

#include "archive/walk.h"
#include "archive/wildmatch.h"
#include "text/ascii_fold.h"

std::vector<const Entry*> findByName(const Entry* root, const char* pattern) {
    std::vector<const Entry*> found;
    PatternError error = PATTERN_OK;
    if (root == nullptr || pattern == nullptr || !isValidWildPattern(pattern, &error))
        return found;
    // Paths are built only for what is shown, so the walk keeps none.
    TreeWalk walk(root, WALK_WITHOUT_PATHS);
    while (walk.next()) {
        if (walk.step() == WALK_LEAVE || walk.entry() == root)
            continue;
        if (wildMatch(pattern, walk.entry()->name.c_str()))
            found.push_back(walk.entry());
    }
    return found;
}

std::string pathBelowRoot(const Entry* entry) {
    return archivePathOf(entry, '\\');
}

int childIndex(const Entry* child) {
    if (child == nullptr || child->parent == nullptr)
        return -1;
    const std::vector<Entry*>& siblings = child->parent->children;
    // Children are sorted, so a binary search finds the place; the scan around
    // it covers a tree whose order was disturbed.
    auto place = std::lower_bound(siblings.begin(), siblings.end(), child, entryBefore);
    if (place != siblings.end() && *place == child)
        return static_cast<int>(place - siblings.begin());
    auto any = std::find(siblings.begin(), siblings.end(), child);
    return any == siblings.end() ? -1 : static_cast<int>(any - siblings.begin());
}

namespace {

// The pattern with every '\\' outside a [set] made '/', the separator paths
// use; inside a set '\\' escapes the next character and stays.
std::string withPathSeparators(const std::string& pattern) {
    std::string out;
    out.reserve(pattern.size());
    bool inSet = false;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (!inSet) {
            inSet = c == '[';
            out.push_back(c == '\\' ? '/' : c);
            continue;
        }
        out.push_back(c);
        if (c == '\\' && i + 1 < pattern.size())
            out.push_back(pattern[++i]);
        else if (c == ']')
            inSet = false;
    }
    return out;
}

}  // namespace

PatternChoice::PatternChoice(const std::vector<std::string>& patterns) {
    for (const std::string& given : patterns) {
        std::string text = withPathSeparators(given);
        const size_t start = text.find_first_not_of('/');
        const bool directoriesOnly = start != std::string::npos && text.back() == '/';
        if (start == std::string::npos)
            text.clear();
        else
            text = text.substr(start, text.find_last_not_of('/') + 1 - start);
        patterns_.push_back({std::move(text), directoriesOnly, false});
    }
}

bool PatternChoice::choose(const Entry* entry, const std::string& path) {
    // The walk is depth first, so the directories still open are the entry's
    // ancestors: whatever the stack holds beyond its parent has been left.
    while (!open_.empty() && open_.back().directory != entry->parent) open_.pop_back();
    bool chosen = patterns_.empty() || (!open_.empty() && open_.back().chosen);
    const bool isDirectory = entry->kind == KIND_SUBDIR;
    name_ = entry->name;
    std::replace(name_.begin(), name_.end(), '\\', '/');
    for (Pattern& pattern : patterns_) {
        if (pattern.directoriesOnly && !isDirectory)
            continue;
        if (pattern.text.empty() || wildMatch(pattern.text.c_str(), path.c_str()) ||
            wildMatch(pattern.text.c_str(), name_.c_str())) {
            pattern.matched = true;
            chosen = true;
        }
    }
    if (isDirectory)
        open_.push_back({entry, chosen});
    return chosen;
}

namespace {

// True when `name` (with '\\' taken as '/') equals `path` from `at` on for its
// whole length, ASCII letters without case.
bool nameAt(const std::string& path, size_t at, const std::string& name) {
    if (path.size() - at < name.size())
        return false;
    for (size_t i = 0; i < name.size(); ++i) {
        unsigned char c = name[i] == '\\' ? '/' : static_cast<unsigned char>(name[i]);
        if (foldAscii(c) != foldAscii(static_cast<unsigned char>(path[at + i])))
            return false;
    }
    return true;
}

}  // namespace

const Entry* findByPath(const Entry* root, const std::string& path) {
    std::string wanted = path;
    std::replace(wanted.begin(), wanted.end(), '\\', '/');
    size_t start = wanted.find_first_not_of('/');
    if (root == nullptr || start == std::string::npos)
        return nullptr;
    // A stored name may hold '\' (the archive's '/'), so one path can split
    // into names in more than one way: try each way, depth first, without recursion.
    std::vector<std::pair<const Entry*, size_t>> pending{{root, start}};
    while (!pending.empty()) {
        auto [directory, at] = pending.back();
        pending.pop_back();
        for (const Entry* child : directory->children) {
            if (child->kind == KIND_UPDIR || child->name.empty() ||
                !nameAt(wanted, at, child->name))
                continue;
            size_t after = at + child->name.size();
            if (after == wanted.size())
                return child;
            if (wanted[after] == '/' && child->kind == KIND_SUBDIR) {
                size_t next = wanted.find_first_not_of('/', after);
                if (next == std::string::npos)
                    return child;
                pending.emplace_back(child, next);
            }
        }
    }
    return nullptr;
}
