// Finding entries anywhere in a tree, by name mask and by path.
#include "archive/search.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_tree.h"

namespace {

// A small tree:  README.TXT, DATA\CFG.INI (one name), MAPS\ (E1M1.MAP, LEVELS.TXT,
// DEEP\ (NOTE.txt)), SOUNDS\ (BOOM.WAV)
struct Tree : TestTree {
    Tree() : TestTree("C:\\GAME.DIR") {
        // Below README.TXT, where a directory record of its name led the
        // loader: nothing any search may find.
        Entry* readme = file(root(), "README.TXT");
        add(readme, "...", KIND_UPDIR);
        file(readme, "HIDDEN.TXT");
        file(root(), "DATA\\CFG.INI");
        Entry* maps = subdir(root(), "MAPS");
        file(maps, "E1M1.MAP");
        file(maps, "LEVELS.TXT");
        file(subdir(maps, "DEEP"), "NOTE.txt");
        file(subdir(root(), "SOUNDS"), "BOOM.WAV");
    }
};

std::vector<std::string> paths(const std::vector<const Entry*>& entries) {
    std::vector<std::string> result;
    for (const Entry* entry : entries) result.push_back(pathBelowRoot(entry));
    return result;
}

TEST(FindByName, MatchesNamesAnywhereInWalkOrder) {
    Tree tree;
    struct Case {
        const char* mask;
        std::vector<std::string> found;
    } cases[] = {
        {"*.txt", {"MAPS\\DEEP\\NOTE.txt", "MAPS\\LEVELS.TXT", "README.TXT"}},
        {"M*", {"MAPS"}},
        {"*",
         {"MAPS", "MAPS\\DEEP", "MAPS\\DEEP\\NOTE.txt", "MAPS\\E1M1.MAP", "MAPS\\LEVELS.TXT",
          "SOUNDS", "SOUNDS\\BOOM.WAV", "DATA\\CFG.INI", "README.TXT"}},
        {"...", {}},       // "..." entries are never found
        {"hidden.*", {}},  // nor what a file holds
        {"CFG.INI", {}},   // the name is DATA\CFG.INI as a whole
        {"data\\*", {"DATA\\CFG.INI"}},
        {"[", {}},  // an invalid mask finds nothing
        {"?OOM.WA[UVW]", {"SOUNDS\\BOOM.WAV"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(paths(findByName(tree.root(), c.mask)), c.found) << c.mask;
}

TEST(FindByName, WalksTreesOfAnyDepthWithoutRecursion) {
    Tree tree;
    Entry* directory = tree.root();
    for (int i = 0; i < 100000; ++i) directory = tree.subdir(directory, "D");
    tree.file(directory, "BOTTOM.BIN");
    std::vector<const Entry*> found = findByName(tree.root(), "bottom.*");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0]->parent, directory);
}

TEST(FindByPath, FindsWholeNamesWithoutCase) {
    Tree tree;
    struct Case {
        const char* path;
        const char* found;  // pathBelowRoot of the result, null for none
    } cases[] = {
        {"README.TXT", "README.TXT"},
        {"readme.txt", "README.TXT"},
        {"/maps/deep/note.TXT", "MAPS\\DEEP\\NOTE.txt"},
        {"MAPS\\LEVELS.TXT", "MAPS\\LEVELS.TXT"},
        {"DATA/CFG.INI", "DATA\\CFG.INI"},  // a name holding the archive's separator
        {"MAPS", "MAPS"},
        {"MAPS/", "MAPS"},
        {"*.TXT", nullptr},  // names are never patterns
        {"MAPS/NOPE", nullptr},
        {"README.TXT/X", nullptr},
        {"", nullptr},
        {"MAPS/...", nullptr},
    };
    for (const Case& c : cases) {
        const Entry* entry = findByPath(tree.root(), c.path);
        if (c.found == nullptr)
            EXPECT_EQ(entry, nullptr) << c.path;
        else
            EXPECT_EQ(entry ? pathBelowRoot(entry) : "(none)", c.found) << c.path;
    }
}

}  // namespace
