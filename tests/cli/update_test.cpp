// --update: the round trip of extracting, editing and putting back, with names
// that --extract numbers; what is skipped and why; what refuses the update.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>

#include "archive/walk.h"
#include "cli_support.h"
#include "support/archive_fixture.h"

namespace {

namespace fs = std::filesystem;

// Every file's data offset, by its path in the archive.
std::map<std::string, uint32_t> offsets(const std::string& archive) {
    LoadedArchive loaded(archive);
    std::map<std::string, uint32_t> result;
    walkTree(&loaded.root, [&](const Entry* entry, const std::string& path) {
        if (entry->kind == KIND_FILE)
            result[path] = entry->info->offset;
        return entry->kind == KIND_SUBDIR;
    });
    return result;
}

// What `run` printed on standard output, its last line (the bytes written) left out.
std::string withoutLastLine(const std::string& out) {
    const size_t end = out.rfind('\n', out.size() - 2);
    return end == std::string::npos ? "" : out.substr(0, end + 1);
}

// Bytes that differ from block to block, so that comparing the wrong blocks shows.
std::string pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = char(i % 251);
    return bytes;
}

TEST(Update, ExtractEditUpdateExtractRoundTrips) {
    TempDir dir;
    // A*B, A?B and A_B all want the output name A_B: A_B keeps it, the others are numbered.
    const std::string archive = writeArchive(
        dir,
        archiveDirectory(
            "", {archiveFile("README.TXT", std::string(3000, 'r')), archiveFile("A*B", "star"),
                 archiveFile("A?B", "ques"), archiveFile("A_B", "unde"),
                 archiveFile("BIG.BIN", pattern(150000)), archiveFile("BIG2.BIN", pattern(150000)),
                 archiveDirectory("MAPS", {archiveFile("E1M1.MAP", "map one"),
                                           archiveFile("E1M2.MAP", "map two")}),
                 archiveDirectory("SND", {archiveFile("HIT.WAV", std::string(5000, 'w'))})}));
    const std::vector<uint8_t> original = readFileBytes(archive);
    const std::map<std::string, uint32_t> before = offsets(archive);
    const std::string out = dir.file("out");
    ASSERT_EQ(runDirrip({"-x", archive, "-C", out}).status, 0);

    writeFile(out + "/README.TXT", "shorter");                  // smaller
    writeFile(out + "/MAPS/E1M1.MAP", std::string(9000, 'M'));  // bigger
    writeFile(out + "/A_B~3", "QUES");                          // the same size: A?B
    std::string last = pattern(150000);
    last.back() = 'x';
    writeFile(out + "/BIG2.BIN", last);  // the same size, a change in its last block
    writeFile(out + "/MAPS/E9M1.MAP", "new map");
    writeFile(out + "/NEW/DEEP/N.TXT", "deep");
    const std::string expected =
        "unchanged A_B\n"
        "unchanged A*B  (from A_B~2)\n"
        "replaced  A?B  (from A_B~3)\n"
        "unchanged BIG.BIN\n"
        "replaced  BIG2.BIN\n"
        "replaced  MAPS/E1M1.MAP\n"
        "unchanged MAPS/E1M2.MAP\n"
        "added     MAPS/E9M1.MAP\n"
        "added     NEW/DEEP/N.TXT\n"
        "replaced  README.TXT\n"
        "unchanged SND/HIT.WAV\n"
        "4 files replaced, 2 files added, 5 files unchanged\n";

    ModeRun dry = runDirrip({"--update", archive, out, "--add-new", "--dry-run"});
    EXPECT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(withoutLastLine(withoutLastLine(dry.out)), expected);
    EXPECT_TRUE(std::regex_search(dry.out, std::regex("\\d+ bytes would be written\n"
                                                      "dry run: the archive is unchanged\n$")))
        << dry.out;
    EXPECT_TRUE(readFileBytes(archive) == original);
    EXPECT_FALSE(fs::exists(archive + "-journal"));

    ModeRun update = runDirrip({"--update", archive, out, "--add-new"});
    ASSERT_EQ(update.status, 0) << update.err;
    EXPECT_EQ(withoutLastLine(update.out), expected);
    EXPECT_TRUE(std::regex_search(
        update.out, std::regex("^update from '.*': 4 files replaced, 2 files added: \\d+ bytes "
                               "written\n$",
                               std::regex::multiline)))
        << update.out;

    const std::string again = dir.file("again");
    ASSERT_EQ(runDirrip({"-x", archive, "-C", again}).status, 0);
    EXPECT_EQ(readTree(again), readTree(out));
    const std::map<std::string, uint32_t> after = offsets(archive);
    for (const char* untouched : {"A*B", "A_B", "BIG.BIN", "MAPS/E1M2.MAP", "SND/HIT.WAV"})
        EXPECT_EQ(after.at(untouched), before.at(untouched)) << untouched;

    // Nothing differs now: nothing is written, and the one change undoes whole.
    ModeRun same = runDirrip({"--update", archive, out});
    EXPECT_EQ(same.status, 0) << same.err;
    EXPECT_NE(same.out.find("0 files replaced, 0 files added, 11 files unchanged\n"
                            "nothing to change; the archive is unchanged\n"),
              std::string::npos)
        << same.out;
    ModeRun undo = runDirrip({"--undo", archive});
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_TRUE(readFileBytes(archive) == original);
    EXPECT_FALSE(fs::exists(archive + "-journal"));
}

TEST(Update, SaysWhatItSkipsAndWhy) {
    TempDir dir;
    const std::string archive = writeArchive(
        dir, archiveDirectory("", {archiveFile("README.TXT", "hello\n"),
                                   archiveFile("GONE.TXT", "gone"), archiveDirectory("EMPTY"),
                                   archiveDirectory("MAPS", {archiveFile("E1M1.MAP", "map")})}));
    // The directory the files come back from holds the archive and its journal too.
    ASSERT_EQ(runDirrip({"-x", archive, "-C", dir.path()}).status, 0);
    writeFile(dir.file("game.dir-journal"), "");
    fs::rename(archive, dir.file("game.dir"));
    writeFile(dir.file("README.TXT"), "hello!\n");
    fs::remove(dir.file("GONE.TXT"));
    fs::remove(dir.file("MAPS/E1M1.MAP"));
    writeFile(dir.file("MAPS/E1M1.MAP/INSIDE"), "in the way");
    fs::remove(dir.file("EMPTY"));
    writeFile(dir.file("EMPTY"), "a file");
    writeFile(dir.file("notes.txt"), "mine");
    fs::create_directory(dir.file("newdir"));
    fs::create_symlink("README.TXT", dir.file("link"));

    ModeRun run = runDirrip({"--update", dir.file("game.dir"), dir.path()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(withoutLastLine(run.out),
              "skipped   EMPTY: a file, where --extract makes a directory\n"
              "skipped   MAPS/E1M1.MAP/: a directory, where --extract writes the file "
              "'MAPS/E1M1.MAP'\n"
              "replaced  README.TXT\n"
              "skipped   game.dir: the archive itself\n"
              "skipped   game.dir-journal: the archive's journal\n"
              "skipped   link: a symbolic link; links are not followed\n"
              "skipped   newdir/: not in the archive\n"
              "skipped   notes.txt: not in the archive; --add-new adds it\n"
              "1 file replaced, 0 files added, 0 files unchanged, 7 skipped; 1 file of the "
              "archive not in the directory, left alone\n");
    EXPECT_EQ(readFile(dir.file("MAPS/E1M1.MAP/INSIDE")), "in the way");
    EXPECT_EQ(runDirrip({"--cat", dir.file("game.dir"), "README.TXT"}).out, "hello!\n");
}

TEST(Update, RefusedWholeWhenAFileCannotGoBack) {
    TempDir dir;
    // A directory 'A' holding 'B/C' and a directory 'A/B' holding 'C' are both
    // extracted to A/B/C: the path A/B/C names only one of them.
    const std::string archive = writeArchive(
        dir, archiveDirectory("", {archiveFile("README.TXT", "hello\n"),
                                   archiveDirectory("A", {archiveFile("B/C", "one")}),
                                   archiveDirectory("A/B", {archiveFile("C", "two")})}));
    const std::vector<uint8_t> original = readFileBytes(archive);
    const std::string out = dir.file("out");
    ASSERT_EQ(runDirrip({"-x", archive, "-C", out}).status, 0);
    writeFile(out + "/A/B/C", "ONE");
    writeFile(out + "/A/B/C~2", "TWO");
    writeFile(out + "/\xE5\x90\x8D.txt", "no code page 437 form");
    writeFile(out + "/readme.txt", "README.TXT but for letter case");
    writeFile(out + "/NEW/x.txt", "one");
    writeFile(out + "/new/X.TXT", "two");
    writeFile(out + "/" + std::string(33, 'L'), "too long");

    ModeRun run = runDirrip({"--update", archive, out, "--add-new"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    const std::string o = "'" + out + "/";
    for (const std::string& line : std::vector<std::string>{
             "names another entry of the archive first\n",
             "dirrip: " + o +
                 "\xE5\x90\x8D.txt' cannot be added: the name '\xE5\x90\x8D.txt' "
                 "holds a character with no code page 437 form\n",
             "dirrip: " + o +
                 "readme.txt' cannot be added: it would be 'readme.txt' in the "
                 "archive, which holds 'README.TXT' (letter case does not count)\n",
             "dirrip: " + o + "NEW' and " + o + "new' would both be 'new' in the archive\n",
             "dirrip: " + o + std::string(33, 'L') + "' cannot be added: the name '" +
                 std::string(33, 'L') + "' is 33 bytes long in code page 437; at most 32 fit\n",
             "dirrip: cannot update '" + archive + "': 5 problems; the archive is unchanged\n"})
        EXPECT_NE(run.err.find(line), std::string::npos) << line << "\nin:\n" << run.err;

    ModeRun missing = runDirrip({"--update", archive, dir.file("none")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "dirrip: cannot update '" + archive + "': '" + dir.file("none") +
                               "' is not a directory\n");
    EXPECT_TRUE(readFileBytes(archive) == original);
    EXPECT_FALSE(fs::exists(archive + "-journal"));
}

}  // namespace
