// Packing a tree with --create and getting it back with --list and --extract.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli_support.h"
#include "support/archive_fixture.h"

namespace {

const std::string NAME_32 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345";  // fills a record's name field

// A source tree with nesting, an empty file, a 32-byte name and a name above 0x7F.
void makeSource(const std::string& root) {
    writeFile(root + "/README.TXT", "Read me.\r\n");
    writeFile(root + "/EMPTY.BIN", "");
    writeFile(root + "/" + NAME_32, std::string(5000, 'x'));
    writeFile(root + "/MAPS/LEVEL1.MAP", std::string(40000, '\x01'));
    writeFile(root + "/MAPS/DEEP/er/ÄRGER.TXT", "umlaut");
    std::filesystem::create_directories(root + "/EMPTYDIR");
}

TEST(CreateExtract, RoundTripGivesBackTheTree) {
    TempDir temp;
    makeSource(temp.file("src"));
    std::string archive = temp.file("out.dir");

    ModeRun create = runDirrip({"--create", archive, temp.file("src")});
    ASSERT_EQ(create.status, 0) << create.err;
    EXPECT_EQ(create.out, "5 files, 45016 bytes\n");

    ModeRun extract = runDirrip({"--extract", archive, "-C", temp.file("back")});
    ASSERT_EQ(extract.status, 0) << extract.err;
    EXPECT_EQ(extract.out, "5 files, 45016 bytes\n");
    EXPECT_EQ(readTree(temp.file("back")), readTree(temp.file("src")));
}

TEST(CreateExtract, ListShowsEveryEntryDepthFirst) {
    TempDir temp;
    makeSource(temp.file("src"));
    std::string archive = temp.file("out.dir");
    ASSERT_EQ(runDirrip({"-c", archive, temp.file("src")}).status, 0);

    ModeRun list = runDirrip({"-l", archive});
    ASSERT_EQ(list.status, 0) << list.err;
    // Sub-directories before files, each group in byte order, as the browser shows them.
    std::vector<std::string> paths;
    std::istringstream lines(list.out);
    for (std::string line; std::getline(lines, line);) paths.push_back(line.substr(27));
    EXPECT_EQ(paths, (std::vector<std::string>{"EMPTYDIR/", "MAPS/", "MAPS/DEEP/", "MAPS/DEEP/er/",
                                               "MAPS/DEEP/er/ÄRGER.TXT", "MAPS/LEVEL1.MAP", NAME_32,
                                               "EMPTY.BIN", "README.TXT"}));
    EXPECT_NE(list.out.find("file      40000 0x"), std::string::npos) << list.out;
}

TEST(CreateExtract, JsonListingParsesWithTotals) {
    TempDir temp;
    makeSource(temp.file("src"));
    std::string archive = temp.file("out.dir");
    ASSERT_EQ(runDirrip({"--create", archive, temp.file("src")}).status, 0);

    ModeRun list = runDirrip({"--list", archive, "--json"});
    ASSERT_EQ(list.status, 0) << list.err;
    nlohmann::json document = nlohmann::json::parse(list.out);
    EXPECT_EQ(document["archive"], archive);
    EXPECT_EQ(document["totals"]["files"], 5);
    EXPECT_EQ(document["totals"]["directories"], 4);
    EXPECT_EQ(document["totals"]["bytes"], 45016);
    ASSERT_EQ(document["entries"].size(), 9u);
    EXPECT_EQ(document["entries"][4]["path"], "MAPS/DEEP/er/ÄRGER.TXT");
    EXPECT_EQ(document["entries"][4]["kind"], "file");
    EXPECT_EQ(document["entries"][4]["size"], 6);
}

TEST(CreateExtract, SameTreeGivesTheSameBytes) {
    TempDir temp;
    makeSource(temp.file("src"));
    ASSERT_EQ(runDirrip({"--create", temp.file("a.dir"), temp.file("src")}).status, 0);
    ASSERT_EQ(runDirrip({"--create", temp.file("b.dir"), temp.file("src")}).status, 0);
    EXPECT_EQ(readFileBytes(temp.file("a.dir")), readFileBytes(temp.file("b.dir")));
}

// Each refusal writes nothing: no archive and no temporary file beside it.
TEST(CreateExtract, RefusalsWriteNothing) {
    struct Case {
        const char* what;
        void (*make)(const std::string& root);
        std::string message;
    };
    const Case cases[] = {
        {"long name", [](const std::string& r) { writeFile(r + "/" + NAME_32 + "X", ""); },
         "33 bytes"},
        {"case twins",
         [](const std::string& r) {
             writeFile(r + "/sub/Intro.bin", "");
             writeFile(r + "/sub/INTRO.BIN", "");
         },
         "differ only in letter case"},
        {"no code page 437 form", [](const std::string& r) { writeFile(r + "/€URO.TXT", ""); },
         "no code page 437 form"},
        {"symbolic link",
         [](const std::string& r) {
             writeFile(r + "/A.TXT", "");
             ASSERT_EQ(symlink("A.TXT", (r + "/LINK").c_str()), 0);
         },
         "/src/LINK' is a symbolic link"},
        {"fifo",
         [](const std::string& r) {
             std::filesystem::create_directories(r);
             ASSERT_EQ(mkfifo((r + "/PIPE").c_str(), 0600), 0);
         },
         "neither a file nor a directory"},
        {"empty tree", [](const std::string& r) { std::filesystem::create_directories(r); },
         "is empty"},
    };
    for (const Case& c : cases) {
        TempDir temp;
        c.make(temp.file("src"));
        std::filesystem::create_directories(temp.file("out"));
        ModeRun run = runDirrip({"--create", temp.file("out/x.dir"), temp.file("src")});
        EXPECT_EQ(run.status, 1) << c.what;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.what << ": " << run.err;
        EXPECT_TRUE(std::filesystem::is_empty(temp.file("out"))) << c.what;
    }
    // One run names every problem of a tree, with paths as the user gave the
    // tree ("src/" here), then refuses.
    TempDir temp;
    ChangeDirectory here(temp.path());
    for (const Case& c : cases) c.make("src");
    std::filesystem::create_directories("out");
    ModeRun run = runDirrip({"--create", "out/x.dir", "src/"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "dirrip: 'src/" + NAME_32 +
                  "X': the name is 33 bytes, a record holds 32\n"
                  "dirrip: 'src/LINK' is a symbolic link\n"
                  "dirrip: 'src/PIPE' is neither a file nor a directory\n"
                  "dirrip: 'src/sub/INTRO.BIN' and 'src/sub/Intro.bin' differ only in letter case\n"
                  "dirrip: 'src/€URO.TXT': the name has a character with no code page 437 form\n"
                  "dirrip: 5 problems; nothing written\n");
    EXPECT_TRUE(std::filesystem::is_empty("out"));
}

TEST(CreateExtract, ArchiveOverFourGigabytesIsRefused) {
    TempDir temp;
    writeFile(temp.file("src/BIG.BIN"), "");
    ASSERT_EQ(truncate(temp.file("src/BIG.BIN").c_str(), 0x100000000LL), 0);  // sparse
    std::filesystem::create_directories(temp.file("out"));
    ModeRun run = runDirrip({"--create", temp.file("out/x.dir"), temp.file("src")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(std::filesystem::is_empty(temp.file("out"))) << run.err;
}

TEST(CreateExtract, ArchiveInsideTheTreeIsNotPackedIntoItself) {
    TempDir temp;
    writeFile(temp.file("src/A.TXT"), "a");
    ASSERT_EQ(runDirrip({"--create", temp.file("src/SELF.DIR"), temp.file("src")}).status, 0);
    ASSERT_EQ(runDirrip({"--create", temp.file("src/SELF.DIR"), temp.file("src")}).status, 0);
    ModeRun list = runDirrip({"--list", temp.file("src/SELF.DIR")});
    EXPECT_EQ(list.out.find("SELF.DIR"), std::string::npos) << list.out;
}

}  // namespace
