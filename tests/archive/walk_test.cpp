#include "archive/walk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/test_tree.h"

namespace {

// One line per step: "+" enter, "-" leave, "." file, then depth and path.
std::string trace(const Entry* top, const char* skipped = nullptr) {
    std::string out;
    TreeWalk walk(top);
    while (walk.next()) {
        const char mark = walk.step() == WALK_ENTER ? '+' : walk.step() == WALK_LEAVE ? '-' : '.';
        out += mark + std::to_string(walk.depth()) + " " + walk.path() + "\n";
        if (walk.step() == WALK_ENTER && skipped != nullptr && walk.entry()->name == skipped)
            walk.skipChildren();
    }
    return out;
}

TEST(TreeWalk, EntersLeavesAndVisitsInChildOrderWithPaths) {
    TestTree tree("X.DIR");
    Entry* data = tree.subdir(tree.root(), "DATA");
    tree.file(data, "MAPS\\A.MAP");
    tree.subdir(data, "EMPTY");
    tree.file(tree.root(), "README");
    tree.file(data, "B.BIN");

    EXPECT_EQ(trace(tree.root()),
              "+0 \n"
              "+1 DATA\n"
              "+2 DATA/EMPTY\n"
              "-2 DATA/EMPTY\n"
              ".2 DATA/B.BIN\n"
              ".2 DATA/MAPS/A.MAP\n"
              "-1 DATA\n"
              ".1 README\n"
              "-0 \n");
    // A walk from inside the tree keeps whole archive paths; a skipped
    // directory is left at once.
    EXPECT_EQ(trace(data, "EMPTY"),
              "+0 DATA\n"
              "+1 DATA/EMPTY\n"
              "-1 DATA/EMPTY\n"
              ".1 DATA/B.BIN\n"
              ".1 DATA/MAPS/A.MAP\n"
              "-0 DATA\n");
    EXPECT_EQ(trace(tree.root(), "DATA"), "+0 \n+1 DATA\n-1 DATA\n.1 README\n-0 \n");
    EXPECT_EQ(archivePathOf(data->children.back()), "DATA/MAPS/A.MAP");
}

TEST(TreeWalk, DeepChainsNeedNoCallStack) {
    TestTree tree;
    Entry* directory = tree.root();
    const size_t depth = 100000;
    for (size_t i = 0; i < depth; ++i) directory = tree.subdir(directory, "D");
    size_t entered = 0, deepest = 0;
    TreeWalk walk(tree.root(), WALK_WITHOUT_PATHS);
    while (walk.next()) {
        entered += walk.step() == WALK_ENTER;
        deepest = std::max(deepest, walk.depth());
        EXPECT_TRUE(walk.path().empty());
    }
    EXPECT_EQ(entered, depth + 1);
    EXPECT_EQ(deepest, depth);
}

TEST(TreeWalk, OnlyEveryEntryWalksBelowTheWayBackAndBelowFiles) {
    // A directory record named "..." leads the loader into the "..." entry; a
    // directory record named like a file leads it into the file.
    TestTree tree;
    Entry* sub = tree.subdir(tree.root(), "SUB");
    Entry* back = sub->children[0];
    tree.subdir(back, "A DIRECTORY WITH A LONG NAME");
    tree.file(back, "A FILE WITH A LONG NAME.BIN");
    Entry* file = tree.file(tree.root(), "X");
    tree.add(file, "...", KIND_UPDIR);
    tree.file(file, "HIDDEN");
    tree.subdir(file, "HIDDEN.DIR");
    EXPECT_EQ(trace(tree.root()), "+0 \n+1 SUB\n-1 SUB\n.1 X\n-0 \n");
    size_t every = 0;
    for (TreeWalk walk(tree.root(), WALK_EVERY_ENTRY); walk.next();)
        every += walk.step() != WALK_LEAVE;
    // The root, SUB, "...", what it holds and the inner "...", X, what it holds
    // and the "..." of HIDDEN.DIR.
    EXPECT_EQ(every, 11u);
    // The teardown reaches them too (a leak checker sees any it misses).
    destroyDescendants(tree.root());
    EXPECT_TRUE(tree.root()->children.empty());
}

}  // namespace
