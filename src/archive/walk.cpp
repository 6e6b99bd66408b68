#include "archive/walk.h"

#include <algorithm>

namespace {

// Only directories are entered in walks for the front ends: a file that a
// directory record of its name led the loader into has children that no
// listing, extraction or search may show under a file.
bool isWalkDirectory(const Entry* entry, bool everyEntry) {
    if (entry->kind == KIND_SUBDIR || entry->kind == KIND_ROOT)
        return true;
    return everyEntry && !entry->children.empty();
}

// The names from below the root (or from the root itself, when `withRoot`)
// down to the entry, joined by `separator`. The root's name, an archive path,
// is taken as it is.
std::string joinPath(const Entry* entry, char separator, bool withRoot) {
    std::vector<const Entry*> chain;
    for (const Entry* e = entry; e != nullptr; e = e->parent) {
        if (e->parent == nullptr && !withRoot)
            break;
        chain.push_back(e);
    }
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (withRoot && it == chain.rbegin())
            path = (*it)->name;
        else
            appendPathLevel(&path, (*it)->name, separator);
    }
    return path;
}

}  // namespace

TreeWalk::TreeWalk(const Entry* top, int32_t flags)
    : top_(top),
      withPaths_((flags & WALK_WITH_PATHS) != 0),
      everyEntry_((flags & WALK_EVERY_ENTRY) != 0) {}

bool TreeWalk::next() {
    if (!started_) {
        started_ = true;
        step_ = WALK_ENTER;
        entry_ = top_;
        if (withPaths_)
            path_ = archivePathOf(top_);
        frames_.push_back({top_, 0, path_.size()});
        return true;
    }
    while (!frames_.empty()) {
        Frame& frame = frames_.back();
        const std::vector<Entry*>& children = frame.directory->children;
        if (frame.next == children.size()) {
            step_ = WALK_LEAVE;
            entry_ = frame.directory;
            if (withPaths_)
                path_.resize(frame.pathLength);
            frames_.pop_back();
            return true;
        }
        const Entry* child = children[frame.next++];
        if (child->kind == KIND_UPDIR && !everyEntry_)
            continue;
        entry_ = child;
        if (withPaths_) {
            path_.resize(frame.pathLength);
            appendPathLevel(&path_, child->name, '/');
        }
        if (isWalkDirectory(child, everyEntry_)) {
            step_ = WALK_ENTER;
            frames_.push_back({child, 0, path_.size()});
        } else {
            step_ = WALK_FILE;
        }
        return true;
    }
    return false;
}

void TreeWalk::skipChildren() {
    if (step_ == WALK_ENTER && !frames_.empty())
        frames_.back().next = frames_.back().directory->children.size();
}

void walkTree(const Entry* root,
              const std::function<bool(const Entry*, const std::string&)>& visit) {
    TreeWalk walk(root);
    while (walk.next()) {
        if (walk.step() == WALK_LEAVE || walk.entry() == root)
            continue;
        const bool enter = visit(walk.entry(), walk.path());
        if (walk.step() == WALK_ENTER && !enter)
            walk.skipChildren();
    }
}

void appendPathLevel(std::string* path, const std::string& name, char separator) {
    if (!path->empty())
        path->push_back(separator);
    const size_t start = path->size();
    path->append(name);
    std::replace(path->begin() + static_cast<std::ptrdiff_t>(start), path->end(), '\\', separator);
}

std::string archivePathOf(const Entry* entry, char separator) {
    return joinPath(entry, separator, false);
}

std::string fullPath(const Entry* entry) {
    std::string path = joinPath(entry, '\\', true);
    if (entry->kind != KIND_FILE)
        path += '\\';
    return path;
}
