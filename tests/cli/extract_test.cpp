// --extract on hostile archives, with patterns and with --keep.
#include <filesystem>

#include <gtest/gtest.h>

#include "archive/writer.h"
#include "cli/extract_mode.h"
#include "cli_support.h"
#include "support/archive_fixture.h"

namespace {

TEST(Extract, HostileNamesStayInsideTheTargetDirectory) {
    TempDir temp;
    ArchiveNode tree = archiveDirectory(
        "", {archiveFile("/ETC/PASSWD", "root"), archiveFile("../../EVIL.TXT", "evil"),
             archiveFile("..\\UP.TXT", "up"), archiveFile("ESC\x1b[2J.TXT", "esc"),
             archiveDirectory("..", {archiveFile("OUT.TXT", "out")})});
    std::string archive = writeArchive(temp, tree, "hostile.dir");

    ModeRun run = runDirrip({"--extract", archive, "-C", temp.file("target/inner")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "5 files, 16 bytes\n");
    // Everything landed below target/inner; nothing beside it.
    auto all = readTree(temp.path());
    for (const auto& [path, contents] : all) {
        EXPECT_TRUE(path == "hostile.dir" || path.rfind("target/", 0) == 0) << path;
    }
    auto inner = readTree(temp.file("target/inner"));
    EXPECT_EQ(inner["ETC/PASSWD"], "root");
    EXPECT_EQ(inner["__/__/EVIL.TXT"], "evil");
    EXPECT_EQ(inner["__/OUT.TXT"], "out");
}

TEST(Extract, PatternsMatchPathOrNameWithoutCase) {
    TempDir temp;
    ArchiveNode tree = archiveDirectory(
        "",
        {archiveDirectory("MAPS", {archiveFile("LEVEL1.MAP", "1"), archiveFile("A.TXT", "a")}),
         archiveDirectory("SOUND", {archiveFile("BOOM.WAV", "b")}), archiveFile("TOP.MAP", "t")});
    std::string archive = writeArchive(temp, tree, "a.dir");

    struct Case {
        std::vector<std::string> patterns;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {{"*.map"}, {"MAPS/", "MAPS/LEVEL1.MAP", "TOP.MAP"}},
        {{"maps/*"}, {"MAPS/", "MAPS/A.TXT", "MAPS/LEVEL1.MAP"}},
        {{"boom.wav", "a.txt"}, {"MAPS/", "MAPS/A.TXT", "SOUND/", "SOUND/BOOM.WAV"}},
        {{"[!bt]*.map"}, {"MAPS/", "MAPS/LEVEL1.MAP"}},
    };
    for (const Case& c : cases) {
        TempDir out;
        std::vector<std::string> args{"-x", archive, "-C", out.path()};
        args.insert(args.end(), c.patterns.begin(), c.patterns.end());
        ModeRun run = runDirrip(args);
        ASSERT_EQ(run.status, 0) << run.err;
        std::vector<std::string> got;
        for (const auto& [path, contents] : readTree(out.path())) got.push_back(path);
        EXPECT_EQ(got, c.expected) << c.patterns[0];
    }
}

TEST(Extract, KeepLeavesExistingFilesAlone) {
    TempDir temp;
    std::string archive = writeArchive(
        temp, archiveDirectory("", {archiveFile("A.TXT", "new"), archiveFile("B.TXT", "bbb")}),
        "a.dir");
    writeFile(temp.file("out/A.TXT"), "old");

    ModeRun run = runDirrip({"-x", archive, "-C", temp.file("out"), "--keep"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "1 files, 3 bytes, 1 kept\n");
    auto tree = readTree(temp.file("out"));
    EXPECT_EQ(tree["A.TXT"], "old");
    EXPECT_EQ(tree["B.TXT"], "bbb");

    run = runDirrip({"-x", archive, "-C", temp.file("out")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readTree(temp.file("out"))["A.TXT"], "new");
}

TEST(Extract, DataPastTheEndFailsAndLeavesNothingHalfWritten) {
    TempDir temp;
    std::vector<uint8_t> bytes;
    appendRecord(bytes, "GOOD.TXT", TYPE_FILE, 4, 3 * DIR_RECORD_SIZE);
    appendRecord(bytes, "ZBAD.TXT", TYPE_FILE, 100000, 3 * DIR_RECORD_SIZE);
    appendEnd(bytes);
    for (char c : std::string("good")) bytes.push_back(uint8_t(c));
    std::string archive = temp.write("cut.dir", bytes);

    ModeRun run = runDirrip({"-x", archive, "-C", temp.file("out")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot read 'ZBAD.TXT'"), std::string::npos) << run.err;
    auto tree = readTree(temp.file("out"));
    EXPECT_EQ(tree.size(), 1u);
    EXPECT_EQ(tree["GOOD.TXT"], "good");
}

TEST(Extract, UnusableArchivesAndPatternsAreReported) {
    TempDir temp;
    EXPECT_EQ(runDirrip({"-x", temp.file("missing.dir")}).status, 1);
    std::string empty = temp.write("empty.dir", {});
    ModeRun run = runDirrip({"-x", empty});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("has invalid format"), std::string::npos) << run.err;
    std::string archive =
        writeArchive(temp, archiveDirectory("", {archiveFile("A.TXT", "a")}), "a.dir");
    EXPECT_EQ(runDirrip({"-x", archive, "-C", temp.file("o"), "€*"}).status, 2);
}

}  // namespace

namespace {

TEST(ListNames, ControlBytesNeverReachTheTerminal) {
    TempDir temp;
    std::string archive =
        writeArchive(temp, archiveDirectory("", {archiveFile("ESC\x1b[2J\x8e.TXT", "x")}), "a.dir");
    ModeRun text = runDirrip({"--list", archive});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out.find('\x1b'), std::string::npos);
    EXPECT_NE(text.out.find("ESC\\x1B[2JÄ.TXT"), std::string::npos) << text.out;
    ModeRun json = runDirrip({"--list", archive, "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(json.out.find('\x1b'), std::string::npos);
    EXPECT_NE(json.out.find("ESC\\u001b[2JÄ.TXT"), std::string::npos) << json.out;
}

}  // namespace
