// Hand-built entry trees for the output tests: the tree owns every entry and
// record, so no loader or release hook is needed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/entry.h"

namespace output_test {

class TestTree {
  public:
    explicit TestTree(const std::string& rootName)
        : root_(make(nullptr, rootName, KIND_ROOT, 0, 0)) {}

    Entry* root() { return root_; }

    // Appends a child; callers add children in the tree's sorted order.
    Entry* add(Entry* directory, const std::string& name, int32_t kind, uint32_t size = 0,
               uint32_t offset = 0) {
        Entry* child = make(directory, name, kind, size, offset);
        directory->children.push_back(child);
        return child;
    }
    Entry* file(Entry* directory, const std::string& name, uint32_t size, uint32_t offset) {
        return add(directory, name, KIND_FILE, size, offset);
    }
    // A sub-directory with its "..." entry.
    Entry* subdir(Entry* directory, const std::string& name) {
        Entry* sub = add(directory, name, KIND_SUBDIR);
        add(sub, "...", KIND_UPDIR);
        return sub;
    }

    ~TestTree() {
        // The entries' own destructor leaves children alone; release them here.
        for (auto& entry : entries_) entry->children.clear();
        for (auto& entry : entries_) entry->info = nullptr;
    }

  private:
    Entry* make(Entry* parent, const std::string& name, int32_t kind, uint32_t size,
                uint32_t offset) {
        auto info = std::make_unique<EntryInfo>();
        info->offset = offset;
        auto entry = std::make_unique<Entry>();
        entry->kind = kind;
        entry->name = name;
        entry->parent = parent;
        entry->size = size;
        entry->info = info.get();
        infos_.push_back(std::move(info));
        entries_.push_back(std::move(entry));
        return entries_.back().get();
    }

    std::vector<std::unique_ptr<EntryInfo>> infos_;
    std::vector<std::unique_ptr<Entry>> entries_;
    Entry* root_;
};

}  // namespace output_test
