#include "archive/entry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/archive_fixture.h"
#include "support/test_tree.h"

namespace {

TEST(Entry, AddChildRefusesNamesEqualIgnoringCaseWhateverTheKind) {
    TestTree tree("D:\\GAMES\\X.DIR");
    EXPECT_NE(tree.add(tree.root(), "README.TXT"), nullptr);
    EXPECT_EQ(tree.add(tree.root(), "readme.txt"), nullptr);
    EXPECT_NE(tree.add(tree.root(), "data"), nullptr);
    EXPECT_EQ(tree.add(tree.root(), "DATA", KIND_SUBDIR), nullptr);
    EXPECT_EQ(LoadedArchive::names(tree.root()), (std::vector<std::string>{"README.TXT", "data"}));
}

TEST(Entry, AddChildTakesWildcardCharactersLiterally) {
    // A name holding '*', '?' or '[' is a name, not a pattern: it neither
    // hides existing children nor is hidden by them.
    TestTree tree("D:\\GAMES\\X.DIR");
    EXPECT_NE(tree.add(tree.root(), "A.BIN"), nullptr);
    EXPECT_NE(tree.add(tree.root(), "*.BIN"), nullptr);
    EXPECT_NE(tree.add(tree.root(), "?"), nullptr);
    EXPECT_NE(tree.add(tree.root(), "X"), nullptr);
    EXPECT_NE(tree.add(tree.root(), "DATA[1]"), nullptr);
    EXPECT_NE(tree.add(tree.root(), "DATA1"), nullptr);
    EXPECT_EQ(tree.add(tree.root(), "*.bin"), nullptr);
    EXPECT_EQ(tree.root()->children.size(), 6u);
}

TEST(Entry, ChildrenKeepKindThenByteOrder) {
    TestTree tree("D:\\GAMES\\X.DIR");
    Entry* dir = tree.root();
    tree.add(dir, "alpha");
    tree.add(dir, "Zeta");
    tree.add(dir, "SOUNDS", KIND_SUBDIR);
    tree.add(dir, "...", KIND_UPDIR);
    tree.add(dir, "MAPS", KIND_SUBDIR);
    tree.add(dir, "\x80LATE");  // bytes compare unsigned
    tree.add(dir, "Zet");       // a prefix comes first
    EXPECT_EQ(LoadedArchive::names(dir), (std::vector<std::string>{"...", "MAPS", "SOUNDS", "Zet",
                                                                   "Zeta", "alpha", "\x80LATE"}));
    EXPECT_EQ(dir->children[1]->parent, dir);
    EXPECT_EQ(dir->children[1]->kind, KIND_SUBDIR);
}

TEST(Entry, FindUsesPatternsIgnoringCase) {
    TestTree tree("D:\\GAMES\\X.DIR");
    tree.add(tree.root(), "MAP01.BIN");
    tree.add(tree.root(), "MAP02.BIN");
    tree.add(tree.root(), "README.TXT");
    tree.add(tree.root(), "GFX", KIND_SUBDIR);

    ASSERT_NE(findFirst(tree.root(), "readme.txt"), nullptr);
    EXPECT_EQ(findFirst(tree.root(), "readme.txt")->name, "README.TXT");
    EXPECT_EQ(findFirst(tree.root(), "*.bin")->name, "MAP01.BIN");
    EXPECT_EQ(findFirst(tree.root(), "*")->name, "GFX");
    EXPECT_EQ(findFirst(tree.root(), "NOPE"), nullptr);

    std::vector<Entry*> found{tree.root()};  // appends after what is there
    findAll(tree.root(), found, "map*");
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[1]->name, "MAP01.BIN");
    EXPECT_EQ(found[2]->name, "MAP02.BIN");
}

struct SplitCase {
    const char* name;
    const char* drive;
    const char* directory;
    const char* base;
    const char* extension;
};

TEST(Entry, SplitName) {
    const SplitCase cases[] = {
        {"FILE.TXT", "", "", "FILE", ".TXT"},
        {"README", "", "", "README", ""},
        {"A.B\\C", "", "A.B\\", "C", ""},
        {".CFG", "", "", "", ".CFG"},
        {"", "", "", "", ""},
        {"C:\\GAMES\\X.DIR", "C:", "\\GAMES\\", "X", ".DIR"},
        {"DATA\\MAP.BIN", "", "DATA\\", "MAP", ".BIN"},
        {"A.B:C", "A.", "", "C", ""},
        {"ARCHIVE.TAR.GZ", "", "", "ARCHIVE.TAR", ".GZ"},
    };
    for (const SplitCase& c : cases) {
        Entry entry;
        entry.name = c.name;
        std::string drive = "x", directory = "x", base = "x", extension = "x";
        splitName(&entry, &drive, &directory, &base, &extension);
        EXPECT_EQ(drive, c.drive) << c.name;
        EXPECT_EQ(directory, c.directory) << c.name;
        EXPECT_EQ(base, c.base) << c.name;
        EXPECT_EQ(extension, c.extension) << c.name;
    }
    Entry entry;
    entry.name = "ANY.THING";
    splitName(&entry, nullptr, nullptr, nullptr, nullptr);  // every output is optional
    entry.name = std::string(300, 'N');
    std::string base;
    splitName(&entry, nullptr, nullptr, &base, nullptr);
    EXPECT_EQ(base.size(), 255u);
}

TEST(Entry, FullPath) {
    TestTree tree("D:\\GAMES\\X.DIR");
    tree.add(tree.root(), "SUB", KIND_SUBDIR);
    Entry* sub = tree.root()->children[0];
    tree.add(sub, "...", KIND_UPDIR);
    tree.add(sub, "A.BIN");
    Entry* file = findFirst(sub, "A.BIN");
    tree.add(tree.root(), "TOP.TXT");

    EXPECT_EQ(fullPath(file), "D:\\GAMES\\X.DIR\\SUB\\A.BIN");
    EXPECT_EQ(fullPath(sub), "D:\\GAMES\\X.DIR\\SUB\\");
    EXPECT_EQ(fullPath(tree.root()), "D:\\GAMES\\X.DIR\\");
    EXPECT_EQ(fullPath(findFirst(tree.root(), "TOP.TXT")), "D:\\GAMES\\X.DIR\\TOP.TXT");
}

int releasedCount = 0;
int countRelease(EntryInfo* info) {
    ++releasedCount;
    delete info;
    return 0;
}

TEST(Entry, DestructionReleasesInfoThroughHookOnly) {
    releasedCount = 0;
    releaseInfoHook = countRelease;
    {
        Entry entry;
        entry.info = new EntryInfo;
    }
    EXPECT_EQ(releasedCount, 1);
    {
        Entry entry;  // no info: the hook is not called
    }
    EXPECT_EQ(releasedCount, 1);
    releaseInfoHook = releaseEntryInfo;
}

TEST(Entry, DestroyDescendantsHandlesDeepChains) {
    TestTree tree("D:\\GAMES\\X.DIR");
    Entry* directory = tree.root();
    for (int depth = 0; depth < 200000; ++depth) {
        directory = tree.subdir(directory, "D");
    }
    destroyDescendants(tree.root());
    EXPECT_TRUE(tree.root()->children.empty());
}

}  // namespace
