#include "output/lists.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include <filesystem>
#include "platform/output_files.h"
#include "scratch_dir.h"
#include "support/test_tree.h"

namespace {

using namespace output_test;

std::string rowText(const Entry* entry) {
    std::string out;
    writeEntry(out, entry);
    return out;
}

TEST(WriteEntry, FileRowsFillTheirFields) {
    TestTree tree("A.DIR");
    struct Case {
        std::string name;
        uint32_t size;
        uint32_t offset;
        std::string row;
    } cases[] = {
        {"INTRO.TXT", 100, 1200,
         "INTRO.TXT" + std::string(23, ' ') + ": 100" + std::string(7, ' ') + "0x000004b0h"},
        // 32 characters: ": " follows directly.
        {std::string(32, 'N'), 0, 0, std::string(32, 'N') + ": 0         0x00000000h"},
        // Longer names are not cut; the row moves right.
        {std::string(35, 'L'), 1, 0xABCDEF12, std::string(35, 'L') + ": 1         0xabcdef12h"},
        // The largest size fills the field completely.
        {"MAX", 4294967295u, 0xFFFFFFFF, "MAX" + std::string(29, ' ') + ": 42949672950xffffffffh"},
        {"DATA\\MAP.BIN", 16384, 44,
         "DATA\\MAP.BIN" + std::string(20, ' ') + ": 16384     0x0000002ch"},
    };
    for (const Case& c : cases) {
        Entry* file = tree.file(tree.root(), c.name, c.size, c.offset);
        EXPECT_EQ(rowText(file), c.row);
    }
}

TEST(WriteEntry, KindsWithoutData) {
    TestTree tree("A.DIR");
    EXPECT_EQ(rowText(tree.add(tree.root(), "...", KIND_UPDIR)), "");
    EXPECT_EQ(rowText(tree.add(tree.root(), "ODD", 7)),
              "ODD" + std::string(29, ' ') + ": TERMINATOR");
    Entry* empty = tree.subdir(tree.root(), "EMPTY");
    EXPECT_EQ(rowText(empty),
              "EMPTY" + std::string(27, ' ') + ": SUB-DIR   \r\n> 1 file(s) in 'EMPTY'");
}

TEST(WriteEntry, DirectoriesAreWrittenDepthFirst) {
    TestTree tree("C:\\GAMES\\SOME\\LONG\\PATH\\ARCHIVE.DIR");  // 34 characters
    Entry* root = tree.root();
    Entry* a = tree.subdir(root, "A");
    Entry* b = tree.subdir(a, "B");
    tree.file(b, "F3", 3, 0x30);
    // A directory record named like a file leads the loader into the file:
    // the list still writes only the file's row.
    Entry* f2 = tree.file(a, "F2", 2, 0x20);
    tree.add(f2, "...", KIND_UPDIR);
    tree.file(f2, "HIDDEN", 9, 0x90);
    tree.subdir(f2, "HIDDEN.DIR");
    tree.file(root, "F1", 1, 0x10);

    auto pad = [](const std::string& name) { return name + std::string(32 - name.size(), ' '); };
    std::string expected = root->name + ": SOURCE    \r\n" + pad("A") + ": SUB-DIR   \r\n" +
                           pad("B") + ": SUB-DIR   \r\n" + pad("F3") +
                           ": 3         0x00000030h\r\n" + "> 2 file(s) in 'B'\r\n" + pad("F2") +
                           ": 2         0x00000020h\r\n" + "> 3 file(s) in 'A'\r\n" + pad("F1") +
                           ": 1         0x00000010h\r\n" + "> 2 file(s) in '" + root->name + "'";
    EXPECT_EQ(rowText(root), expected);
}

TEST(WriteEntry, DeepNestingDoesNotExhaustTheStack) {
    // An archive can chain directories far deeper than any call stack goes.
    constexpr int DEPTH = 100000;
    TestTree tree("DEEP.DIR");
    Entry* directory = tree.root();
    for (int level = 0; level < DEPTH; ++level) directory = tree.subdir(directory, "D");
    tree.file(directory, "BOTTOM", 1, 2);

    std::string text = rowText(tree.root());
    std::string bottom = "BOTTOM" + std::string(26, ' ') + ": 1         0x00000002h\r\n";
    EXPECT_NE(text.find("D" + std::string(31, ' ') + ": SUB-DIR   \r\n" + bottom +
                        "> 2 file(s) in 'D'\r\n"
                        "> 2 file(s) in 'D'\r\n"),
              std::string::npos);
    const std::string end = "\r\n> 2 file(s) in 'D'\r\n> 1 file(s) in 'DEEP.DIR'";
    ASSERT_GT(text.size(), end.size());
    EXPECT_EQ(text.substr(text.size() - end.size()), end);
    size_t lines = size_t(std::count(text.begin(), text.end(), '\n')) + 1;
    EXPECT_EQ(lines, 1 + DEPTH + 1 + DEPTH + 1);  // root, each D, BOTTOM, each closing, root's
}

constexpr const char* HEADER_COLUMNS = "  Filename                        Length    Offset \r\n";

TEST(ListText, FullListHasHeaderAndNoFinalLineEnd) {
    TestTree tree("DATA\\WAR.DIR");
    tree.file(tree.root(), "X.BIN", 5, 0);
    std::string text = fullListText("DATA\\WAR.DIR", tree.root());
    EXPECT_EQ(text, std::string("Full filelist.\r\nSource: 'DATA\\WAR.DIR'\r\n") + HEADER_COLUMNS +
                        "DATA\\WAR.DIR" + std::string(20, ' ') + ": SOURCE    \r\n" + "X.BIN" +
                        std::string(27, ' ') + ": 5         0x00000000h\r\n" +
                        "> 1 file(s) in 'DATA\\WAR.DIR'");
    // The path is host text; the list is code page 437 throughout.
    TestTree accented("CAF\x82.DIR");
    accented.file(accented.root(), "CAF\x82", 1, 0);
    text = fullListText("CAF\xC3\xA9 \xE2\x82\xAC.DIR", accented.root());
    EXPECT_NE(text.find("Source: 'CAF\x82 ?.DIR'\r\n"), std::string::npos) << text;
    // "Length" and "Offset" stand over the size field and the "0x" of the rows.
    std::string header = HEADER_COLUMNS;
    EXPECT_EQ(header.find("Length"), 34u);
    EXPECT_EQ(header.find("Offset"), 44u);
}

TEST(ListText, SelectedListCountsOnlyTheDirectorysSelection) {
    TestTree tree("W.DIR");
    Entry* sub = tree.subdir(tree.root(), "SUB");
    Entry* elsewhere = tree.file(sub, "OTHER", 1, 1);
    elsewhere->info->selected = 1;
    Entry* a = tree.file(tree.root(), "A", 1, 2);
    tree.file(tree.root(), "B", 2, 3);
    Entry* c = tree.file(tree.root(), "C", 3, 4);
    c->info->selected = 1;
    a->info->selected = 1;

    std::string head = std::string("Selected files.\r\nSource: 'W.DIR'\r\n") + HEADER_COLUMNS;
    EXPECT_EQ(selectedListText("W.DIR", tree.root()),
              head + "A" + std::string(31, ' ') + ": 1         0x00000002h\r\n" + "C" +
                  std::string(31, ' ') + ": 3         0x00000004h\r\n" + "2 file(s) selected.\r\n");
    c->info->selected = a->info->selected = 0;
    EXPECT_EQ(selectedListText("W.DIR", tree.root()), head + "0 file(s) selected.\r\n");
    EXPECT_EQ(selectedListText("W.DIR", sub), head + "OTHER" + std::string(27, ' ') +
                                                  ": 1         0x00000001h\r\n" +
                                                  "1 file(s) selected.\r\n");
}

TEST(ListFileName, TakesTheBaseNameOfTheArchivePath) {
    struct Case {
        const char* path;
        const char* name;
    } cases[] = {
        {"DATA\\WAR.DIR", "WAR.lst"},
        {"C:WAR.DIR", "WAR.lst"},
        {"/HOME/U/SOUNDS.DIR", "SOUNDS.lst"},
        {"ARCHIVE", "ARCHIVE.lst"},
        {"A.B.C", "A.B.lst"},
        {"DIR.X\\NOEXT", "NOEXT.lst"},
        {".DIR", ".lst"},
        {"C:\\GAMES\\X.DIR", "X.lst"},
    };
    for (const Case& c : cases) EXPECT_EQ(listFileName(c.path, ".lst"), c.name) << c.path;
    EXPECT_EQ(listFileName(std::string(300, 'A').c_str(), ".sel"), std::string(255, 'A') + ".sel");
}

TEST(ListFile, SavesInTheCurrentDirectoryOrSaysWhyNot) {
    ScratchDir temp;
    TestTree tree("GAMES\\WAR.DIR");
    Entry* f = tree.file(tree.root(), "F", 1, 0);
    f->info->selected = 1;
    ChangeDirectory here(temp.path());

    writeFile(temp / "WAR.lst", std::string(100000, 'z'));  // replaced, not appended to
    EXPECT_EQ(makeFullList("GAMES\\WAR.DIR", tree.root()), 1);
    EXPECT_EQ(readFile(temp / "WAR.lst"), fullListText("GAMES\\WAR.DIR", tree.root()));
    EXPECT_EQ(makeSelectedList("GAMES\\WAR.DIR", tree.root()), 1);
    EXPECT_EQ(readFile(temp / "WAR.sel"), selectedListText("GAMES\\WAR.DIR", tree.root()));
    EXPECT_EQ(f->info->selected, 1);  // writing a list changes no flag

    std::filesystem::create_directory(temp / "X.lst");  // the name is taken by a directory
    int error = 0;
    EXPECT_EQ(makeFullList("X.DIR", tree.root(), &error), 0);
    EXPECT_EQ(outputErrorText(error), "a directory is in the way");
    EXPECT_TRUE(std::filesystem::is_empty(temp / "X.lst"));
    // Nothing half-written is left beside the lists.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp.path()),
                            std::filesystem::directory_iterator()),
              3);
}

TEST(ListFile, ReportsTheFirstRefusedPiece) {
    TestTree tree("W.DIR");
    tree.file(tree.root(), "F", 1, 0);
    int calls = 0;
    ListOutput refusing = [&](std::string_view) { return ++calls < 1; };
    EXPECT_EQ(writeFullList(refusing, "W.DIR", tree.root()), 0);
    std::string all;
    ListOutput keeping = [&](std::string_view piece) {
        all += piece;
        return true;
    };
    EXPECT_EQ(writeFullList(keeping, "W.DIR", tree.root()), 1);
    EXPECT_EQ(all, fullListText("W.DIR", tree.root()));
}

}  // namespace
