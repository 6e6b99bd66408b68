// The place in the panels and the files' marks carried over to a tree loaded
// again after the archive changed.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "archive/search.h"
#include "browser/view_place.h"
#include "support/test_tree.h"

namespace {

using Paths = std::vector<std::string>;

// Adds `paths` to `tree`: "MAPS/" is a directory, "MAPS/E1.MAP" a file; the
// directories on the way are made as needed.
void build(TestTree& tree, const Paths& paths) {
    for (const std::string& path : paths) {
        Entry* directory = tree.root();
        size_t start = 0;
        for (size_t slash; (slash = path.find('/', start)) != std::string::npos;
             start = slash + 1) {
            const std::string name = path.substr(start, slash - start);
            Entry* below = nullptr;
            for (Entry* child : directory->children)
                if (child->kind == KIND_SUBDIR && child->name == name)
                    below = child;
            directory = below != nullptr ? below : tree.subdir(directory, name);
        }
        if (start < path.size())
            tree.file(directory, path.substr(start));
    }
}

// "F000.BIN" to "F(n-1).BIN".
Paths numberedFiles(int count, int skip = -1) {
    Paths paths;
    for (int i = 0; i < count; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "F%03d.BIN", i);
        if (i != skip)
            paths.push_back(name);
    }
    return paths;
}

// The entry at `path` below `directory`, names split at '/' only and matched exactly.
Entry* at(Entry* directory, const std::string& path) {
    size_t start = 0;
    while (directory != nullptr && start < path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        Entry* found = nullptr;
        for (Entry* child : directory->children)
            if (child->name == path.substr(start, end - start))
                found = child;
        directory = found;
        start = end + 1;
    }
    return directory;
}

TEST(ViewPlace, ATreeLoadedAgainKeepsTheUserWhereTheyWere) {
    // The shown directory (by path), the child under the cursor and `top`.
    struct Spot {
        const char* shown;
        const char* cursor;
        int top;
    };
    struct Case {
        const char* label;
        Paths before;
        Spot from;
        Paths after;
        Spot to;
        int same;
    };
    const Paths abc = {"A.BIN", "B.BIN", "C.BIN"};
    // clang-format off
    const Case cases[] = {
        {"the same name, moved by an entry made before it",
         abc, {"", "C.BIN", 0}, {"A.BIN", "AA.BIN", "B.BIN", "C.BIN"}, {"", "C.BIN", 0}, 1},
        {"a name that went: the one that followed it",
         abc, {"", "B.BIN", 0}, {"A.BIN", "C.BIN"}, {"", "C.BIN", 0}, 1},
        {"the last name went: the new last",
         abc, {"", "C.BIN", 0}, {"A.BIN", "B.BIN"}, {"", "B.BIN", 0}, 1},
        {"a directory that went: directories sort before files",
         {"MAPS/", "SOUNDS/", "A.BIN"}, {"", "MAPS", 0}, {"SOUNDS/", "A.BIN"}, {"", "SOUNDS", 0}, 1},
        {"a sub-directory kept while its parent's listing changed",
         {"MAPS/E1.MAP", "A.BIN"}, {"MAPS", "E1.MAP", 0},
         {"AAA/", "MAPS/E1.MAP", "MAPS/E2.MAP"}, {"MAPS", "E1.MAP", 0}, 1},
        {"the shown directory went: its parent, on what followed it",
         {"MAPS/E1.MAP", "SOUNDS/X.WAV"}, {"MAPS", "E1.MAP", 0},
         {"SOUNDS/X.WAV", "A.BIN"}, {"", "SOUNDS", 0}, 0},
        {"two levels went: the nearest directory still there",
         {"A/B/C/F.BIN"}, {"A/B/C", "F.BIN", 0}, {"A/X.BIN"}, {"A", "X.BIN", 0}, 0},
        {"the cursor keeps its place in the window",
         numberedFiles(60), {"", "F045.BIN", 10}, numberedFiles(60, 3), {"", "F045.BIN", 9}, 1},
        {"a listing that shrank keeps the window full",
         numberedFiles(60), {"", "F050.BIN", 20}, numberedFiles(45), {"", "F044.BIN", 5}, 1},
        {"a listing shorter than the window starts at its top",
         numberedFiles(60), {"", "F050.BIN", 20}, numberedFiles(30), {"", "F029.BIN", 0}, 1},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TestTree before, after;
        build(before, c.before);
        build(after, c.after);
        PanelState panel;
        panel.current = at(before.root(), c.from.shown);
        panel.cursor = childIndex(at(panel.current, c.from.cursor));
        panel.top = c.from.top;
        const ViewPlace place = placeOf(panel);

        EXPECT_EQ(restorePlace(panel, after.root(), place), c.same);
        EXPECT_EQ(panel.current, at(after.root(), c.to.shown));
        ASSERT_LT(size_t(panel.cursor), panel.current->children.size());
        EXPECT_EQ(panel.current->children[size_t(panel.cursor)]->name, c.to.cursor);
        EXPECT_EQ(panel.top, c.to.top);
        // "..." leads back the way the user came down.
        for (const Entry* below = panel.current; below->parent != nullptr; below = below->parent)
            EXPECT_EQ(below->parent->savedCursor, childIndex(below)) << below->name;
    }
}

TEST(ViewPlace, MarksFollowTheFilesByTheirWholePath) {
    TestTree before, after;
    const Paths paths = {"A.BIN", "B.BIN", "MAPS/E1/X.MAP", "OLD/E1/X.MAP"};
    build(before, paths);
    build(after, paths);
    // A name holding '\' is not the path of a file one directory down.
    build(after, {"MAPS/E1\\X.MAP", "MAPS/E1/NEW.MAP"});
    Entry* root = before.root();
    at(root, "A.BIN")->info->selected = 1;
    at(root, "B.BIN")->info->ripped = 1;
    at(root, "MAPS/E1/X.MAP")->info->ripped = 1;
    at(root, "MAPS/E1/X.MAP")->info->selected = 1;

    EXPECT_EQ(applyMarks(after.root(), marksOf(root)), 3u);
    auto marks = [&](const std::string& path) {
        const EntryInfo* info = at(after.root(), path)->info;
        return std::to_string(info->ripped) + std::to_string(info->selected);
    };
    EXPECT_EQ(marks("A.BIN"), "01");
    EXPECT_EQ(marks("B.BIN"), "10");
    EXPECT_EQ(marks("MAPS/E1/X.MAP"), "11");
    EXPECT_EQ(marks("OLD/E1/X.MAP"), "00");
    EXPECT_EQ(marks("MAPS/E1/NEW.MAP"), "00");
    EXPECT_EQ(marks("MAPS/E1\\X.MAP"), "00");
}

}  // namespace
