// A hand-built entry tree for tests: entries added one by one in their sorted
// places (as addChild keeps them), torn down with the tree.
#pragma once

#include <cstdint>
#include <string>

#include "archive/entry.h"

class TestTree {
  public:
    // A root of kind KIND_ROOT named `rootName`, with an EntryInfo, as a
    // session makes it; installs the usual releaseInfoHook.
    explicit TestTree(const std::string& rootName = "TEST.DIR");
    // Destroys every entry below the root.
    ~TestTree();
    TestTree(const TestTree&) = delete;
    TestTree& operator=(const TestTree&) = delete;

    Entry* root() { return &root_; }

    // Adds a child to `directory` through addChild (a sub-directory gets its
    // "..." entry first) and returns it; null when addChild refuses the name.
    Entry* add(Entry* directory, const std::string& name, int32_t kind = KIND_FILE,
               uint32_t size = 0, uint32_t offset = 0);
    Entry* file(Entry* directory, const std::string& name, uint32_t size = 0, uint32_t offset = 0) {
        return add(directory, name, KIND_FILE, size, offset);
    }
    Entry* subdir(Entry* directory, const std::string& name) {
        return add(directory, name, KIND_SUBDIR);
    }

  private:
    Entry root_;
};
