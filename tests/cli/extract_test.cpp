// --extract on hostile archives, with patterns and with --keep.
#include <filesystem>
#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

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
        {archiveDirectory("MAPS", {archiveFile("LEVEL1.MAP", "1"), archiveFile("A.TXT", "a"),
                                   archiveDirectory("EMPTY")}),
         archiveDirectory("SOUND", {archiveFile("BOOM.WAV", "b")}), archiveFile("TOP.MAP", "t")});
    std::string archive = writeArchive(temp, tree, "a.dir");

    struct Case {
        std::vector<std::string> patterns;
        std::vector<std::string> expected;
        std::string err;  // what is said on standard error; also exit status 1 when not empty
    };
    const Case cases[] = {
        {{"*.map"}, {"MAPS/", "MAPS/LEVEL1.MAP", "TOP.MAP"}, ""},
        {{"maps/*"}, {"MAPS/", "MAPS/A.TXT", "MAPS/EMPTY/", "MAPS/LEVEL1.MAP"}, ""},
        {{"boom.wav", "a.txt"}, {"MAPS/", "MAPS/A.TXT", "SOUND/", "SOUND/BOOM.WAV"}, ""},
        {{"[!bt]*.map"}, {"MAPS/", "MAPS/LEVEL1.MAP"}, ""},
        // A pattern that matches only the file's own name, not its path.
        {{"level?.map"}, {"MAPS/", "MAPS/LEVEL1.MAP"}, ""},
        // A directory named comes out whole; an empty one too.
        {{"maps"}, {"MAPS/", "MAPS/A.TXT", "MAPS/EMPTY/", "MAPS/LEVEL1.MAP"}, ""},
        {{"maps\\empty\\"}, {"MAPS/", "MAPS/EMPTY/"}, ""},
        // What matches is extracted all the same.
        {{"top.map", "NONE*", "TOP.MAP/"},
         {"TOP.MAP"},
         "dirrip: 'NONE*' matches nothing in '" + archive + "'\n" +
             "dirrip: 'TOP.MAP/' matches nothing in '" + archive + "'\n"},
    };
    for (const Case& c : cases) {
        TempDir out;
        std::vector<std::string> args{"-x", archive, "-C", out.path()};
        args.insert(args.end(), c.patterns.begin(), c.patterns.end());
        ModeRun run = runDirrip(args);
        EXPECT_EQ(run.status, c.err.empty() ? 0 : 1) << c.patterns[0];
        EXPECT_EQ(run.err, c.err) << c.patterns[0];
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
    EXPECT_EQ(run.out, "1 file, 3 bytes, 1 kept\n");
    auto tree = readTree(temp.file("out"));
    EXPECT_EQ(tree["A.TXT"], "old");
    EXPECT_EQ(tree["B.TXT"], "bbb");

    run = runDirrip({"-x", archive, "-C", temp.file("out")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readTree(temp.file("out"))["A.TXT"], "new");
}

TEST(Extract, GoesOnPastFilesItCannotWriteAndCountsThem) {
    TempDir temp;
    const uint32_t sub = 9 * DIR_RECORD_SIZE, data = sub + 3 * DIR_RECORD_SIZE;
    std::vector<uint8_t> bytes;
    appendRecord(bytes, "SUB", TYPE_DIRECTORY, 0, sub);
    appendRecord(bytes, "GOOD.TXT", TYPE_FILE, 4, data);
    appendRecord(bytes, "PART.BIN", TYPE_FILE, 100000, data);
    appendRecord(bytes, "FAR.BIN", TYPE_FILE, 10, 5000);
    appendRecord(bytes, "\\", TYPE_FILE, 4, data);
    appendRecord(bytes, "BLOCK", TYPE_FILE, 4, data + 4);
    appendRecord(bytes, "ONE.BIN", TYPE_FILE, 5, data + 4);
    appendRecord(bytes, "ZLAST.TXT", TYPE_FILE, 4, data + 4);
    appendEnd(bytes);
    appendRecord(bytes, "IN.TXT", TYPE_FILE, 4, data);
    appendRecord(bytes, "IN2.TXT", TYPE_FILE, 4, data);
    appendEnd(bytes);
    for (char c : std::string("goodlast")) bytes.push_back(uint8_t(c));
    std::string archive = temp.write("cut.dir", bytes);
    std::filesystem::create_directories(temp.file("out/BLOCK"));
    writeFile(temp.file("out/SUB"), "a file");

    ModeRun run = runDirrip({"-x", archive, "-C", temp.file("out")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "2 files, 8 bytes\n");
    // The directory that cannot be made is named once, each file meant for it once.
    EXPECT_EQ(run.err.find("dirrip: cannot create directory 'SUB': a file is in the way\n"),
              run.err.rfind("dirrip: cannot create directory 'SUB'"));
    for (const char* line : {
             "dirrip: cannot create directory 'SUB': a file is in the way\n",
             "dirrip: cannot extract 'SUB/IN.TXT': its directory 'SUB' could not be made\n",
             "dirrip: cannot extract 'SUB/IN2.TXT': its directory 'SUB' could not be made\n",
             "dirrip: cannot read 'PART.BIN' from the archive: the archive ends 99992 bytes "
             "before its data (100000 bytes at 0x00000210) does\n",
             "dirrip: cannot read 'FAR.BIN' from the archive: its data (10 bytes at 0x00001388) "
             "lies past the end of the archive\n",
             "dirrip: cannot read 'ONE.BIN' from the archive: the archive ends 1 byte before its "
             "data (5 bytes at 0x00000214) does\n",
             "dirrip: cannot create a file for '/': nothing is left of its name\n",
             "dirrip: cannot create 'BLOCK' for 'BLOCK': a directory is in the way\n",
         })
        EXPECT_NE(run.err.find(line), std::string::npos) << line << run.err;
    EXPECT_TRUE(run.err.ends_with("dirrip: 7 files not extracted\n")) << run.err;
    EXPECT_EQ(readTree(temp.file("out")),
              (std::map<std::string, std::string>{
                  {"BLOCK/", ""}, {"GOOD.TXT", "good"}, {"SUB", "a file"}, {"ZLAST.TXT", "last"}}));

    run = runDirrip({"-x", archive, "-C", temp.file("again"), "FAR.BIN"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "0 files, 0 bytes\n");
    EXPECT_TRUE(run.err.ends_with("dirrip: 1 file not extracted\n")) << run.err;
}

TEST(Extract, NamesThatMeetOnDiskAreAllKeptAndReported) {
    TempDir temp;
    ArchiveNode tree = archiveDirectory(
        "", {archiveDirectory("DATA", {archiveFile("X", "dir x")}), archiveFile("A?B", "1"),
             archiveFile("A*B", "2"), archiveFile("A_B", "3"), archiveFile("DATA/X", "name x"),
             archiveFile(".", "dot"), archiveFile("E", "")});
    std::string archive = writeArchive(temp, tree, "meet.dir");
    ModeRun run = runDirrip({"-x", archive, "-C", temp.file("out")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readTree(temp.file("out")),
              (std::map<std::string, std::string>{{"DATA/", ""},
                                                  {"DATA/X", "dir x"},
                                                  {"DATA/X~2", "name x"},
                                                  {"A_B", "3"},
                                                  {"A_B~2", "2"},
                                                  {"A_B~3", "1"},
                                                  {"_", "dot"},
                                                  {"E", ""}}));
    // The name that needed no change keeps it; the changed ones say where they went.
    EXPECT_NE(run.err.find("'A?B' written as 'A_B~3': 'A_B' is taken by 'A_B'"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("'DATA/X' written as 'DATA/X~2'"), std::string::npos) << run.err;
}

TEST(Extract, EmptyFileMayPointPastTheEnd) {
    TempDir temp;
    std::vector<uint8_t> bytes;
    appendRecord(bytes, "EMPTY.TXT", TYPE_FILE, 0, 0x7FFFFFF0);
    appendEnd(bytes);
    std::string archive = temp.write("e.dir", bytes);
    ModeRun run = runDirrip({"-x", archive, "-C", temp.file("out")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readTree(temp.file("out")), (std::map<std::string, std::string>{{"EMPTY.TXT", ""}}));
}

TEST(Extract, DeepChainsComeOutWhole) {
    // Far deeper than the handles a run keeps open at once.
    TempDir temp;
    constexpr int DEPTH = 1500;
    ArchiveNode node = archiveFile("BOTTOM", "bottom");
    for (int level = DEPTH; level > 0; --level) {
        std::vector<ArchiveNode> children;
        children.push_back(std::move(node));
        children.push_back(archiveFile("F", std::to_string(level)));
        node = archiveDirectory("D", std::move(children));
    }
    std::vector<ArchiveNode> top;
    top.push_back(std::move(node));
    std::string archive = writeArchive(temp, archiveDirectory("", std::move(top)), "deep.dir");
    ModeRun run = runDirrip({"-x", archive, "-C", temp.file("out")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, std::to_string(DEPTH + 1) + " files, " +
                           std::to_string(6 + 9 + 90 * 2 + 900 * 3 + 501 * 4) + " bytes\n");
    std::string path = temp.file("out");
    for (int level = 1; level <= DEPTH; ++level) {
        path += "/D";
        std::vector<uint8_t> data = readFileBytes(path + "/F");
        ASSERT_EQ(std::string(data.begin(), data.end()), std::to_string(level));
    }
    EXPECT_EQ(readFileBytes(path + "/BOTTOM").size(), 6u);
}

#ifndef _WIN32
TEST(Extract, AnInterruptLeavesNoPartOfTheFile) {
    TempDir temp;
    std::vector<uint8_t> bytes;
    constexpr uint32_t SIZE = 256u << 20;
    appendRecord(bytes, "BIG.BIN", TYPE_FILE, SIZE, 2 * DIR_RECORD_SIZE);
    appendEnd(bytes);
    std::string archive = temp.write("big.dir", bytes);
    std::filesystem::resize_file(archive, 2 * DIR_RECORD_SIZE + SIZE);
    std::filesystem::create_directory(temp.file("out"));

    pid_t child = fork();
    if (child == 0) {
        execl(DIRRIP_BINARY, "dirrip", "-x", archive.c_str(), "-C", temp.file("out").c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    // Wait until data is being written (the temporary file is registered for
    // removal by then), then end the run as a shutdown would.
    auto underWay = [&] {
        // Names may vanish while looked at (the rename at the end): no throwing calls.
        std::error_code ignored;
        for (const auto& item : std::filesystem::directory_iterator(temp.file("out"), ignored))
            if (item.file_size(ignored) > 0 && item.file_size(ignored) != uintmax_t(-1))
                return true;
        return false;
    };
    for (int i = 0; i < 20000 && !underWay(); ++i) usleep(100);
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFSIGNALED(status))
        GTEST_SKIP() << "the copy ended before the interrupt came";
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    EXPECT_TRUE(std::filesystem::is_empty(temp.file("out")));
}
#endif

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
