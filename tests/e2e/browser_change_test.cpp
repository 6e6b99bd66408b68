// Changing the archive from the browser, end to end: F2, an edit on disk, F5,
// F8 with Esc and with Enter, a change made by another program meanwhile,
// and Ctrl-Z back to the very bytes the archive started with.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "e2e/browser_in_tmux.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

class BrowserChanges : public BrowserInTmux {
  protected:
    void SetUp() override {
        writeArchive(
            dir,
            archiveDirectory("", {archiveDirectory("MAPS", {archiveFile("E1M1.MAP", "one"),
                                                            archiveFile("E1M2.MAP", "two")}),
                                  archiveFile("README.TXT", std::string(300, 'r')),
                                  archiveFile("ZZ.BIN", "zz")}),
            "game.dir");
        original = archive();
    }

    Bytes archive() const { return readFileBytes(dir.file("game.dir")); }

    // Runs dirrip with `arguments` in the test's directory, with `environment`
    // before it; returns its exit status (128 + the signal that ended it),
    // its standard output in `*out` when not null.
    int dirrip(const std::string& arguments, std::string* out = nullptr,
               const std::string& environment = "") {
        const std::string line = "cd " + TmuxSession::quote(dir.path()) + " && env " + environment +
                                 " " + TmuxSession::quote(DIRRIP_BINARY) + " " + arguments +
                                 " >cli.out 2>cli.err </dev/null";
        const int status = std::system(line.c_str());
        if (out != nullptr)
            *out = readFile(dir.file("cli.out"));
        if (WIFSIGNALED(status))
            return 128 + WTERMSIG(status);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Presses `key`, then waits for row 24 to say `line`.
    bool pressFor(const std::string& key, const std::string& line) {
        session->sendKeys(key);
        return rowShows(24, line);
    }

    Bytes original;
};

TEST_F(BrowserChanges, PutBackDeleteAndUndoToTheOriginalBytes) {
    start("game.dir");  // the root lists MAPS, README.TXT, ZZ.BIN
    session->sendKeys("Down", "F2");
    ASSERT_TRUE(session->waitFor("yes")) << session->dump();
    const std::string edited = "edited " + std::string(5000, 'e');
    writeFile(dir.file("README.TXT"), edited);

    // F5 puts the edited file back; the panels show its new size and keep its mark.
    ASSERT_TRUE(pressFor("F5", "Replaced 'README.TXT'")) << session->dump();
    EXPECT_TRUE(rowShows(4, "5007")) << session->dump();
    EXPECT_TRUE(rowShows(4, "yes")) << session->dump();
    std::string cat;
    EXPECT_EQ(dirrip("--cat game.dir readme.txt", &cat), 0);
    EXPECT_EQ(cat, edited);
    const Bytes replaced = archive();

    // Without the ripped file nothing changes.
    fs::remove(dir.file("README.TXT"));
    ASSERT_TRUE(pressFor("F5", "Nothing replaced: cannot read 'README.TXT'")) << session->dump();
    EXPECT_TRUE(archive() == replaced);

    // F8 asks first: Esc keeps the file, Enter deletes a whole directory.
    session->sendKeys("Down", "F8");
    ASSERT_TRUE(session->waitFor("Delete the file 'ZZ.BIN'?")) << session->dump();
    ASSERT_TRUE(pressFor("Escape", "Nothing deleted")) << session->dump();
    EXPECT_TRUE(archive() == replaced);
    session->sendKeys("Home", "F8");
    ASSERT_TRUE(session->waitFor("With all it holds: 2 files in 1 directory.")) << session->dump();
    ASSERT_TRUE(pressFor("Enter", "Deleted 'MAPS'")) << session->dump();
    EXPECT_TRUE(rowShows(3, "║README   TXT")) << session->dump();
    EXPECT_EQ(dirrip("--cat game.dir MAPS/E1M1.MAP"), 1);
    const Bytes deleted = archive();

    // A change made meanwhile by another program is shown before anything is
    // changed or ripped.
    ASSERT_EQ(dirrip("--mkdir game.dir NEWA"), 0);
    ASSERT_TRUE(pressFor("F8", "Nothing deleted: the archive changed on disk and is shown anew"))
        << session->dump();
    EXPECT_TRUE(rowShows(3, "║NEWA")) << session->dump();
    const Bytes madeA = archive();
    ASSERT_EQ(dirrip("--mkdir game.dir NEWB"), 0);
    ASSERT_TRUE(pressFor("F2", "Nothing ripped: the archive changed on disk and is shown anew"))
        << session->dump();
    EXPECT_TRUE(rowShows(4, "║NEWB")) << session->dump();

    fs::permissions(dir.file("game.dir"), fs::perms(0444));
    ASSERT_TRUE(pressFor("C-z", "Nothing undone: the archive is read-only")) << session->dump();
    fs::permissions(dir.file("game.dir"), fs::perms(0644));

    // Ctrl-Z takes back one change at a time, the other program's too.
    const struct {
        const char* line;
        const Bytes& bytes;
    } undos[] = {
        {"Undone: make directory NEWB", madeA},
        {"Undone: make directory NEWA", deleted},
        {"Undone: delete MAPS", replaced},
        {"Undone: replace README.TXT", original},
    };
    for (const auto& undo : undos) {
        ASSERT_TRUE(pressFor("C-z", undo.line)) << session->dump();
        EXPECT_TRUE(archive() == undo.bytes) << undo.line;
    }
    EXPECT_TRUE(rowShows(3, "║MAPS")) << session->dump();
    ASSERT_TRUE(pressFor("C-z", "Nothing undone: there is no change to undo")) << session->dump();
    quit();
}

TEST_F(BrowserChanges, AChangeCutShortIsRolledBackAndSaidOnTheFirstScreen) {
    writeFile(dir.file("new.txt"), std::string(100000, 'n'));
    // The first point at which a stopped change has left the archive half changed.
    int stopAfter = 0;
    for (; stopAfter < 200; ++stopAfter) {
        fs::remove(dir.file("game.dir-journal"));
        writeFile(dir.file("game.dir"), std::string(original.begin(), original.end()));
        const int status = dirrip("--replace game.dir README.TXT new.txt", nullptr,
                                  "DIRRIP_TEST_STOP_AFTER_WRITES=" + std::to_string(stopAfter));
        ASSERT_NE(status, 0) << "the change was never stopped";
        if (archive() != original)
            break;
    }
    start("game.dir");
    EXPECT_TRUE(rowShows(24, "rolled back an unfinished change: replace README.TXT"))
        << session->dump();
    EXPECT_TRUE(archive() == original);
    quit();
}

}  // namespace
