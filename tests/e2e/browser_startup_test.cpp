// Start-up and shutdown of the real program: usage, unusable archives, and
// runs without a terminal.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/archive_fixture.h"
#include "support/tmux_harness.h"

namespace {

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<uint8_t> goodArchive() {
    std::vector<uint8_t> bytes;
    appendRecord(bytes, "ONE.BIN", TYPE_FILE, 3, 2 * 44);
    appendEnd(bytes);
    bytes.insert(bytes.end(), {'o', 'n', 'e'});
    return bytes;
}

const std::string PROGRAM = TmuxSession::quote(DIRRIP_BINARY);

// Runs `arguments` in tmux after a marker line and returns the screen once it ended.
std::string runInTerminal(const TempDir& dir, const std::string& arguments) {
    TmuxSession::Options options;
    options.workingDirectory = dir.path();
    TmuxSession session("printf 'BEFORE\\n'; " + PROGRAM + arguments + "; echo \"status=$?\"",
                        options);
    EXPECT_TRUE(session.waitFor("status=")) << session.dump();
    return session.screen();
}

TEST(BrowserStartup, UsageLineWithoutArgument) {
    TempDir dir;
    std::string screen = runInTerminal(dir, "");
    EXPECT_EQ(screen.substr(0, 81 * 4), std::string("BEFORE") + std::string(74, ' ') + "\n" +
                                            "Usage: dirrip <dir-file>" + std::string(56, ' ') +
                                            "\n" + std::string(80, ' ') + "\n" + "status=0" +
                                            std::string(72, ' ') + "\n")
        << screen;
}

TEST(BrowserStartup, UnusableArchivesGiveTheScreenBackWithTheInvalidFormatMessage) {
    TempDir dir;
    dir.write("empty.dir", {});
    std::vector<uint8_t> endFirst;
    appendEnd(endFirst);
    appendRecord(endFirst, "LATE.BIN", TYPE_FILE, 1, 0);
    dir.write("endfirst.dir", endFirst);
    const struct {
        const char* arguments;
        const char* message;
    } cases[] = {
        {" c_games_data.dir", "'C_GAMES_DATA.DIR' has invalid format: no such file or directory"},
        {" .", "'.' has invalid format: not a regular file"},
        {" empty.dir", "'EMPTY.DIR' has invalid format"},
        {" endfirst.dir", "'ENDFIRST.DIR' has invalid format"},
        {" endfirst.dir more arguments", "'ENDFIRST.DIR' has invalid format"},
    };
    for (const auto& c : cases) {
        std::string screen = runInTerminal(dir, c.arguments);
        std::istringstream lines(screen);
        std::string line[4];
        for (std::string& each : line) std::getline(lines, each);
        EXPECT_EQ(line[0].substr(0, 7), "BEFORE ") << screen;
        EXPECT_EQ(line[1], std::string(80, ' ')) << screen;
        EXPECT_EQ(line[2].substr(0, line[2].find_last_not_of(' ') + 1), c.message) << screen;
        EXPECT_EQ(line[3].substr(0, 9), "status=1 ") << screen;
    }
}

TEST(BrowserStartup, WithoutATerminalNothingHangs) {
    TempDir dir;
    dir.write("good.dir", goodArchive());
    auto run = [&](const std::string& command) {
        std::string line = "cd " + TmuxSession::quote(dir.path()) + " && timeout 10 " + command +
                           " >" + TmuxSession::quote(dir.file("out")) + " 2>" +
                           TmuxSession::quote(dir.file("err"));
        int status = std::system(line.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(run(PROGRAM + " good.dir </dev/null"), 1);
    EXPECT_EQ(readFile(dir.file("out")), "");
    std::string err = readFile(dir.file("err"));
    EXPECT_NE(err.find("terminal"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;

    EXPECT_EQ(run(PROGRAM + " missing.dir </dev/null"), 1);
    EXPECT_EQ(readFile(dir.file("out")),
              "\n'MISSING.DIR' has invalid format: no such file or directory\n");
    EXPECT_EQ(readFile(dir.file("err")), "");
}

TEST(BrowserStartup, OutputRedirectedFromATerminalEndsAtOnce) {
    TempDir dir;
    dir.write("good.dir", goodArchive());
    std::string screen = runInTerminal(dir, " good.dir >/dev/null");
    EXPECT_NE(screen.find("terminal"), std::string::npos) << screen;
    EXPECT_NE(screen.find("status=1"), std::string::npos) << screen;
}

TEST(BrowserStartup, WindowTitleNamesTheArchive) {
    TempDir dir;
    dir.write("good.dir", goodArchive());
    TmuxSession::Options options;
    options.workingDirectory = dir.path();
    TmuxSession session(PROGRAM + " good.dir", options);
    ASSERT_TRUE(session.waitFor("file from")) << session.dump();
    std::string title = session.tmux({"display-message", "-p", "#{pane_title}"});
    EXPECT_EQ(title.rfind("[GOOD.DIR]- DIR (KESTRALOS) ripper v1.52.", 0), 0u) << title;
    EXPECT_NE(session.row(3).find("ONE      BIN"), std::string::npos) << session.dump();
}

}  // namespace
