// F3 and Alt-F3 in the real program, compared byte for byte with the lists they must write.
#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/archive_fixture.h"
#include "support/tmux_harness.h"

namespace fs = std::filesystem;

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ListsEndToEnd : public testing::Test {
  protected:
    void SetUp() override {
        // Root: EMPTY (only "..."), SUB (x.dat), then Beta.txt and ALPHA.BIN, stored out of order.
        std::vector<uint8_t> bytes;
        appendRecord(bytes, "Beta.txt", TYPE_FILE, 4294967295u, 0);
        appendRecord(bytes, "SUB", TYPE_DIRECTORY, 77, 220);
        appendRecord(bytes, "ALPHA.BIN", TYPE_FILE, 100, 1200);
        appendRecord(bytes, "EMPTY", TYPE_DIRECTORY, 0, 308);
        appendEnd(bytes);
        bytes.resize(220);
        appendRecord(bytes, "x.dat", TYPE_FILE, 16384, 0xABCDEF);
        appendEnd(bytes);
        appendEnd(bytes);  // EMPTY's listing at 308
        temp.write("war.dir", bytes);
        fs::create_directory(temp.file("out"));
    }

    void run(const std::vector<std::string>& keys, const std::string& archive = "../war.dir") {
        TmuxSession::Options options;
        options.workingDirectory = temp.file("out");
        TmuxSession session(
            "exec " + TmuxSession::quote(DIRRIP_BINARY) + " " + TmuxSession::quote(archive),
            options);
        ASSERT_TRUE(session.waitFor("file from")) << session.dump();
        session.sendKeyList(keys);
        session.sendKeys("Escape", "Escape");
        ASSERT_TRUE(session.waitForExit(5000)) << session.dump();
    }

    std::string list(const char* name) { return readFile(temp.file("out/") + name); }

    TempDir temp;
};

const std::string HEADER =
    "Source: '../WAR.DIR'\r\n"
    "  Filename                        Length    Offset \r\n";

const std::string FULL_LIST = "Full filelist.\r\n" + HEADER +
                              "../WAR.DIR                      : SOURCE    \r\n"
                              "EMPTY                           : SUB-DIR   \r\n"
                              "> 1 file(s) in 'EMPTY'\r\n"
                              "SUB                             : SUB-DIR   \r\n"
                              "x.dat                           : 16384     0x00abcdefh\r\n"
                              "> 2 file(s) in 'SUB'\r\n"
                              "ALPHA.BIN                       : 100       0x000004b0h\r\n"
                              "Beta.txt                        : 42949672950x00000000h\r\n"
                              "> 4 file(s) in '../WAR.DIR'";

TEST_F(ListsEndToEnd, FullListFromAnyDirectoryReplacesTheEarlierOne) {
    std::ofstream(temp.file("out/WAR.lst")) << std::string(5000, 'z');
    // From inside SUB, twice: the whole tree each time, the second replacing the first.
    run({"Down", "Enter", "F3", "F3"});
    EXPECT_EQ(list("WAR.lst"), FULL_LIST);
}

TEST_F(ListsEndToEnd, SelectedListHoldsTheShownDirectorysSelection) {
    // Select Beta.txt then ALPHA.BIN at the root; x.dat in SUB stays out.
    run({"Down", "Enter", "Down", "IC", "Up", "Enter", "End", "IC", "Up", "IC", "M-F3"});
    EXPECT_EQ(list("WAR.sel"), "Selected files.\r\n" + HEADER +
                                   "ALPHA.BIN                       : 100       0x000004b0h\r\n"
                                   "Beta.txt                        : 42949672950x00000000h\r\n"
                                   "2 file(s) selected.\r\n");
    EXPECT_FALSE(fs::exists(temp.file("out/WAR.lst")));
}

TEST_F(ListsEndToEnd, EmptySelectionStillWritesTheList) {
    run({"M-F3"});
    EXPECT_EQ(list("WAR.sel"), "Selected files.\r\n" + HEADER + "0 file(s) selected.\r\n");
}

TEST_F(ListsEndToEnd, ListIsCodePage437ThroughoutWhateverThePath) {
    // The path is UTF-8 on the command line; the list file keeps that name on
    // disk, while the list itself holds the path in code page 437 like the names.
    fs::copy_file(temp.file("war.dir"), temp.file("caf\xC3\xA9.dir"));
    run({"F3"}, "../caf\xC3\xA9.dir");
    const std::string text = list("CAF\xC3\xA9.lst");
    EXPECT_EQ(text.substr(0, text.find("EMPTY")),
              "Full filelist.\r\nSource: '../CAF\x82.DIR'\r\n"
              "  Filename                        Length    Offset \r\n"
              "../CAF\x82.DIR                     : SOURCE    \r\n");
    EXPECT_EQ(text.substr(text.rfind('>')), "> 4 file(s) in '../CAF\x82.DIR'");
}

}  // namespace
