#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "browser/panels.h"
#include "browser/startup.h"
#include "browser/state.h"
#include "console/memory_console.h"
#include "console/screen.h"
#include "support/archive_fixture.h"

namespace {

TEST(Usage, ProgramNameAfterTheLastSeparator) {
    struct Case {
        const char* programPath;
        const char* expected;
    };
    const Case cases[] = {
        {"C:\\TOOLS\\BROWSE.EXE", "Usage: BROWSE.EXE <dir-file>\n\n"},
        {"/usr/local/bin/dirrip", "Usage: dirrip <dir-file>\n\n"},
        {"./build\\odd/name", "Usage: name <dir-file>\n\n"},
        {"dirrip", "Usage: dirrip <dir-file>\n\n"},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStderr();
        usage(c.programPath);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.expected);
    }
}

TEST(Usage, NoArgumentTouchesNothing) {
    char program[] = "/opt/dirrip";
    char* argv[] = {program, nullptr};
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(browserMain(1, argv), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Usage: dirrip <dir-file>\n\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(UpperCasePath, OnlyAsciiLettersChange) {
    EXPECT_EQ(upperCasePath("c:\\games\\data.dir"), "C:\\GAMES\\DATA.DIR");
    EXPECT_EQ(upperCasePath("/tmp/Caf\xC3\xA9-z.dir"), "/TMP/CAF\xC3\xA9-Z.DIR");
    EXPECT_EQ(upperCasePath("{az}[AZ]`@"), "{AZ}[AZ]`@");
}

// A browser session on the in-memory console in a directory of its own.
class StartupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previous = std::filesystem::current_path();
        std::filesystem::current_path(dir.path());
        setConsoleBackend(&console);
        // What the console showed before the program started.
        for (int i = 0; i < SCREEN_CELLS; ++i) console.frame[i] = Cell{uint16_t('#'), 0x07};
        console.cursorColumn = 7;
        console.cursorRow = 9;
    }
    void TearDown() override {
        if (browser.root != nullptr)
            finishBrowser();
        setConsoleBackend(nullptr);
        std::filesystem::current_path(previous);
    }
    std::string goodArchive(const char* name) {
        std::vector<uint8_t> bytes;
        appendRecord(bytes, "a.bin", TYPE_FILE, 4, 3 * 44);
        appendRecord(bytes, "b.bin", TYPE_FILE, 4, 3 * 44);
        appendEnd(bytes);
        bytes.insert(bytes.end(), {'d', 'a', 't', 'a'});
        return dir.write(name, bytes);
    }
    // Runs the session and the end; returns what went to standard output and error.
    std::pair<std::string, std::string> runToEnd() {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        runBrowserSession();
        finishBrowser();
        std::string out = testing::internal::GetCapturedStdout();
        return {out, testing::internal::GetCapturedStderr()};
    }
    bool screenGivenBack() const {
        for (int i = 0; i < SCREEN_CELLS; ++i)
            if (console.frame[i].character != '#' || console.frame[i].attributes != 0x07)
                return false;
        return console.cursorColumn == 7 && console.cursorRow == 9;
    }

    TempDir dir;
    std::filesystem::path previous;
    MemoryConsole console;
};

TEST_F(StartupTest, UnusableArchivesEndWithTheInvalidFormatMessage) {
    std::vector<uint8_t> endFirst;
    appendEnd(endFirst);
    appendRecord(endFirst, "late.bin", TYPE_FILE, 1, 0);
    std::filesystem::create_directory(dir.file("folder.dir"));
    const struct {
        std::string path;
        std::string cause;  // after the message, when the file could not be opened
    } cases[] = {
        {dir.file("c_games_data.dir"), ": no such file or directory"},
        {dir.file("folder.dir"), ": not a regular file"},
        {dir.write("empty.dir", {}), ""},
        {dir.write("endfirst.dir", endFirst), ""},  // first record is an end record
    };
    for (const auto& [path, cause] : cases) {
        startBrowser(path.c_str());
        EXPECT_EQ(browser.terminationReason, REASON_BAD_FORMAT) << path;
        EXPECT_EQ(browser.openPath, path);
        std::string upper = upperCasePath(path);
        EXPECT_EQ(browser.archivePath, upper);
        int flushesBefore = console.flushCount;
        auto [out, err] = runToEnd();
        EXPECT_EQ(out, "\n'" + upper + "' has invalid format" + cause + "\n") << path;
        EXPECT_EQ(err, "");
        EXPECT_EQ(console.flushCount, flushesBefore) << "nothing may be shown";
        EXPECT_TRUE(screenGivenBack()) << path;
        EXPECT_EQ(console.title, "[" + upper + "]-" + formatTitleLine());
    }
}

TEST_F(StartupTest, NonAsciiArchivePathIsShownInCodePage437AndPrintedAsGiven) {
    const std::string path = dir.file("caf\xC3\xA9\xE2\x82\xAC.dir");  // café€.dir: no such file
    const std::string shown = upperCasePath(dir.path()) + "/CAF\x82?.DIR";
    startBrowser(path.c_str());
    ASSERT_NE(browser.root, nullptr);
    EXPECT_EQ(browser.root->name, shown);  // the start of the info box's path
    auto [out, err] = runToEnd();
    EXPECT_EQ(console.title, "[" + shown + "]-" + formatTitleLine());
    EXPECT_EQ(out,
              "\n'" + upperCasePath(path) + "' has invalid format: no such file or directory\n");
}

TEST_F(StartupTest, ArchiveIsOpenedAsGivenAndShownUpperCased) {
    std::string path = goodArchive("lower.dir");
    startBrowser(path.c_str());
    EXPECT_EQ(browser.terminationReason, REASON_NONE);
    ASSERT_NE(browser.root, nullptr);
    EXPECT_EQ(browser.root->name, upperCasePath(path));
    EXPECT_EQ(browser.root->kind, KIND_ROOT);
    EXPECT_EQ(browser.root->children.size(), 2u);
    EXPECT_EQ(browser.panel.current, browser.root);
}

TEST_F(StartupTest, EscEscEndsWithoutAMessageAndGivesTheScreenBack) {
    std::string path = goodArchive("x.dir");
    startBrowser(path.c_str());
    console.pushKeys({KEY_DOWN, 'q', KEY_ESC, KEY_ESC});
    auto [out, err] = runToEnd();
    EXPECT_EQ(browser.terminationReason, REASON_QUIT);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "");
    EXPECT_TRUE(screenGivenBack());
    EXPECT_EQ(browser.workBuffer, nullptr);
}

TEST_F(StartupTest, EscThenAnotherKeyDoesNothingElse) {
    std::string path = goodArchive("x.dir");
    startBrowser(path.c_str());
    // Esc F2 must not rip; Esc Down must not move.
    console.pushKeys({KEY_ESC, KEY_F2, KEY_ESC, KEY_DOWN});
    auto [out, err] = runToEnd();
    EXPECT_FALSE(std::filesystem::exists(dir.file("a.bin")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("A.BIN")));
    // Input then ended: the run ends with the explanation on standard error.
    EXPECT_EQ(browser.terminationReason, REASON_NO_TERMINAL);
    EXPECT_EQ(out, "");
    EXPECT_NE(err.find("terminal"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
    EXPECT_TRUE(screenGivenBack());
}

TEST_F(StartupTest, TooManyEntriesEndsWithItsOwnMessage) {
    std::string path = goodArchive("big.dir");
    startBrowser(path.c_str(), 1);
    EXPECT_EQ(browser.terminationReason, REASON_TOO_LARGE);
    auto [out, err] = runToEnd();
    EXPECT_EQ(out, "\n'" + upperCasePath(path) +
                       "' holds too many entries: the load stopped after 1 record, the most an "
                       "archive of " +
                       std::to_string(std::filesystem::file_size(path)) +
                       " bytes may hold (one per 44 bytes and 1048576 more, 16777216 at most)\n");
}

TEST_F(StartupTest, EndMessagesNamingEntriesAreEscaped) {
    std::string path = goodArchive("x.dir");
    startBrowser(path.c_str());
    browser.terminationReason = REASON_CREATE_FAILED;
    browser.reasonSubject = "\x1B]2;pwned\x07";
    auto [out, err] = runToEnd();
    EXPECT_EQ(out, "\nUnable create '\\x1B]2;pwned\\x07'\n");
}

}  // namespace

namespace {

TEST_F(StartupTest, F2AloneRipsTheFileUnderTheCursor) {
    std::string path = goodArchive("x.dir");
    startBrowser(path.c_str());
    console.pushKeys({KEY_F2});
    runToEnd();
    EXPECT_TRUE(std::filesystem::exists(dir.file("a.bin")));
}

}  // namespace

TEST_F(StartupTest, DeeplyNestedArchiveEndsWithoutExhaustingTheStack) {
    // A chain of 300,000 directories, each listing holding the next one.
    const uint32_t depth = 300000;
    std::vector<uint8_t> bytes;
    for (uint32_t level = 0; level < depth; ++level) {
        appendRecord(bytes, "D", TYPE_DIRECTORY, 0, (2 * level + 2) * 44);
        appendEnd(bytes);
    }
    appendEnd(bytes);
    startBrowser(dir.write("deep.dir", bytes).c_str());
    ASSERT_EQ(browser.terminationReason, REASON_NONE);
    console.pushKeys({KEY_ESC, KEY_ESC});
    runToEnd();
    EXPECT_EQ(browser.root, nullptr);
}
