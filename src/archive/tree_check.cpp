#include "archive/tree_check.h"

#include <unordered_set>
#include <vector>

#include "archive/entry.h"
#include "text/ascii_fold.h"

namespace {

bool report(std::string* fault, const Entry* directory, const std::string& what) {
    if (fault != nullptr)
        *fault = fullPath(directory) + ": " + what;
    return false;
}

}  // namespace

bool treeIsConsistent(const Entry* root, std::string* fault) {
    std::vector<const Entry*> pending{root};
    std::unordered_set<std::string> names;
    while (!pending.empty()) {
        const Entry* directory = pending.back();
        pending.pop_back();
        names.clear();
        const std::vector<Entry*>& children = directory->children;
        for (size_t i = 0; i < children.size(); ++i) {
            const Entry* child = children[i];
            if (child->parent != directory)
                return report(fault, directory, "wrong parent");
            if (i > 0 && !entryBefore(children[i - 1], child)) {
                return report(fault, directory, "'" + child->name + "' out of order");
            }
            if (!names.insert(foldAsciiText(child->name)).second) {
                return report(fault, directory, "'" + child->name + "' twice");
            }
            pending.push_back(child);
        }
    }
    return true;
}
