// --cat: one file's bytes exactly, or a clear refusal with nothing written.
#include "cli/cat_mode.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <cstdlib>
#include <sstream>

#include "cli_support.h"
#include "support/archive_fixture.h"

namespace {

ModeRun cat(const std::string& archive, const std::string& path) {
    std::ostringstream out, err;
    int status = catMode(archive, path, out, err);
    return {status, out.str(), err.str()};
}

TEST(CatMode, WritesTheFilesBytesOrRefuses) {
    TempDir dir;
    std::string binary("\0\x01\xFF\r\n", 5);
    std::string big(200000, 'q');
    std::string archive = writeArchive(
        dir, archiveDirectory("", {archiveFile("README.TXT", "hello\n"),
                                   archiveDirectory("MAPS", {archiveFile("E1M1.MAP", binary),
                                                             archiveFile("BIG.BIN", big)}),
                                   archiveFile("EMPTY", "")}));
    struct Case {
        const char* path;
        int status;
        std::string out;
        const char* message;  // part of the message on err; empty: none
    } cases[] = {
        {"README.TXT", 0, "hello\n", ""},
        {"readme.txt", 0, "hello\n", ""},
        {"maps/e1m1.map", 0, binary, ""},
        {"MAPS\\BIG.BIN", 0, big, ""},
        {"EMPTY", 0, "", ""},
        {"NOPE.TXT", 1, "", "no file 'NOPE.TXT'"},
        {"MAPS", 1, "", "'MAPS' is a directory"},
        {"*.TXT", 1, "", "no file '*.TXT'"},
    };
    for (const Case& c : cases) {
        ModeRun run = cat(archive, c.path);
        EXPECT_EQ(run.status, c.status) << c.path;
        EXPECT_EQ(run.out, c.out) << c.path;
        if (*c.message == 0)
            EXPECT_EQ(run.err, "") << c.path;
        else
            EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    ModeRun missing = cat(dir.file("none.dir"), "README.TXT");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("cannot open"), std::string::npos) << missing.err;
}

TEST(CatMode, DataPastTheEndIsRefusedBeforeAnyByte) {
    TempDir dir;
    std::vector<uint8_t> bytes;
    appendRecord(bytes, "CUT.BIN", TYPE_FILE, 100, 2 * DIR_RECORD_SIZE);
    appendEnd(bytes);
    bytes.resize(bytes.size() + 40, 'c');  // 40 of the 100 bytes
    std::string archive = dir.write("cut.dir", bytes);
    ModeRun run = cat(archive, "CUT.BIN");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("lies past the end of the archive (40 of 100 bytes there)"),
              std::string::npos)
        << run.err;
}

#ifndef _WIN32
TEST(CatMode, AFullDiskIsReportedWithItsCause) {
    // The real program on the real standard output: a small file fails only
    // when the output is flushed, a large one while it is written.
    TempDir dir;
    std::string archive = writeArchive(
        dir, archiveDirectory(
                 "", {archiveFile("SMALL", "s"), archiveFile("LARGE", std::string(300000, 'l'))}));
    for (const char* name : {"SMALL", "LARGE"}) {
        const std::string command = std::string(DIRRIP_BINARY) + " --cat '" + archive + "' " +
                                    name + " >/dev/full 2>'" + dir.file("err") + "'";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status)) << name;
        EXPECT_EQ(WEXITSTATUS(status), 1) << name;
        EXPECT_EQ(readFile(dir.file("err")), "dirrip: cannot write '" + std::string(name) +
                                                 "' to the output: no space left on device\n");
    }
}
#endif

}  // namespace
