#include "cli/tree_walk.h"

#include <algorithm>
#include <vector>

namespace {

struct Frame {
    const Entry* directory;
    size_t next;
    size_t pathLength;  // length of the directory's own path in `path`
};

}  // namespace

void walkTree(const Entry* root,
              const std::function<bool(const Entry*, const std::string&)>& visit) {
    std::vector<Frame> stack{{root, 0, 0}};
    std::string path;
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next == frame.directory->children.size()) {
            stack.pop_back();
            continue;
        }
        const Entry* child = frame.directory->children[frame.next++];
        if (child->kind == KIND_UPDIR)
            continue;
        path.resize(frame.pathLength);
        if (!path.empty())
            path += '/';
        size_t nameStart = path.size();
        path += child->name;
        std::replace(path.begin() + long(nameStart), path.end(), '\\', '/');
        bool enter = visit(child, path);
        if (enter && child->kind == KIND_SUBDIR && !child->children.empty())
            stack.push_back({child, 0, path.size()});
    }
}
