#include "archive/tree_check.h"

#include <unordered_set>

#include "archive/entry.h"
#include "archive/walk.h"
#include "text/ascii_fold.h"

namespace {

bool report(std::string* fault, const Entry* directory, const std::string& what) {
    if (fault != nullptr)
        *fault = fullPath(directory) + ": " + what;
    return false;
}

}  // namespace

bool treeIsConsistent(const Entry* root, std::string* fault) {
    std::unordered_set<std::string> names;
    TreeWalk walk(root, WALK_EVERY_ENTRY);
    while (walk.next()) {
        if (walk.step() != WALK_ENTER)
            continue;
        const Entry* directory = walk.entry();
        names.clear();
        const std::vector<Entry*>& children = directory->children;
        for (size_t i = 0; i < children.size(); ++i) {
            const Entry* child = children[i];
            if (child->parent != directory)
                return report(fault, directory, "wrong parent");
            if (i > 0 && !entryBefore(children[i - 1], child))
                return report(fault, directory, "'" + child->name + "' out of order");
            if (!names.insert(foldAsciiText(child->name)).second)
                return report(fault, directory, "'" + child->name + "' twice");
        }
    }
    return true;
}
