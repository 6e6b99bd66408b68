#include "support/test_tree.h"

TestTree::TestTree(const std::string& rootName) {
    releaseInfoHook = releaseEntryInfo;
    root_.kind = KIND_ROOT;
    root_.name = rootName;
    root_.info = new EntryInfo;
}

TestTree::~TestTree() {
    destroyDescendants(&root_);
}

Entry* TestTree::add(Entry* directory, const std::string& name, int32_t kind, uint32_t size,
                     uint32_t offset) {
    EntryInfo* info = new EntryInfo;
    info->offset = offset;
    if (addChild(directory, name.c_str(), size, info, kind) == 0) {
        delete info;
        return nullptr;
    }
    // Not findFirst: it takes the name as a pattern.
    Entry* added = nullptr;
    for (Entry* child : directory->children) {
        if (child->name == name)
            added = child;
    }
    if (kind == KIND_SUBDIR)
        add(added, "...", KIND_UPDIR);
    return added;
}
