// Real programs killed (as by SIGKILL) before a write, length change or sync
// of a long change or undo, at many points: the archive, opened again, is always the
// old one or the new one, and its history still undoes the change.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>

#include "support/archive_fixture.h"
#include "support/tmux_harness.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

const std::string DIRRIP = TmuxSession::quote(DIRRIP_BINARY);
const std::string LONG_CHANGE =
    TmuxSession::quote(std::string(DIRRIP_PROGRAMS_DIR) + "/long_change");

// Runs `command` in `dir`, stopped before its (stopAfter + 1)th write when
// `stopAfter` is not negative. Returns its exit status, 128 + the signal that
// ended it, or -1.
int run(const TempDir& dir, const std::string& command, int stopAfter = -1) {
    std::string line = "cd " + TmuxSession::quote(dir.path()) + " && exec env ";
    if (stopAfter >= 0)
        line += "DIRRIP_TEST_STOP_AFTER_WRITES=" + std::to_string(stopAfter) + " ";
    line += command + " >out 2>err </dev/null";
    const int status = std::system(line.c_str());
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Start {
    Bytes archive;
    Bytes journal;  // empty: no journal file
};

void restore(const TempDir& dir, const Start& start) {
    writeFile(dir.file("game.dir"), std::string(start.archive.begin(), start.archive.end()));
    fs::remove(dir.file("game.dir-journal"));
    if (!start.journal.empty())
        writeFile(dir.file("game.dir-journal"),
                  std::string(start.journal.begin(), start.journal.end()));
}

Start current(const TempDir& dir) {
    Start now{readFileBytes(dir.file("game.dir")), {}};
    if (fs::exists(dir.file("game.dir-journal")))
        now.journal = readFileBytes(dir.file("game.dir-journal"));
    return now;
}

// The tests stop programs a few hundred times; where a memory file system
// is at hand, its syncs cost nothing (a stopped process loses nothing the
// system has taken, synced or not, so the outcome is the same).
std::string scratchBase() {
    std::error_code ignored;
    if (fs::is_directory("/dev/shm", ignored))
        return "/dev/shm";
    const char* base = std::getenv("TMPDIR");
    return base != nullptr && *base != '\0' ? base : "/tmp";
}

// Stops `command` from `start` at many points (every one of the first few
// and the last few, every STRIDE-th between); after each stop, --list opens
// the archive again, which must then be `before` or `after`.
void stopAtManyPoints(const TempDir& dir, const std::string& command, const Start& start,
                      const Bytes& before, const Bytes& after) {
    constexpr int STRIDE = 5, FIRST = 8;
    auto stopAt = [&](int n) {
        restore(dir, start);
        const int status = run(dir, command, n);
        if (status == 0)
            return true;
        EXPECT_EQ(status, 128 + SIGKILL)
            << command << " " << n << ": " << readFile(dir.file("err"));
        EXPECT_EQ(run(dir, DIRRIP + " --list game.dir"), 0) << readFile(dir.file("err"));
        const Bytes opened = readFileBytes(dir.file("game.dir"));
        EXPECT_TRUE(opened == before || opened == after)
            << command << " stopped after " << n << " writes left neither archive";
        return false;
    };
    for (int n = 0; n < 2000; n += n < FIRST ? 1 : STRIDE) {
        if (!stopAt(n))
            continue;
        EXPECT_TRUE(readFileBytes(dir.file("game.dir")) == after) << command;
        EXPECT_GT(n, 3) << command << " was never stopped";
        // The points since the last stop, up to the first the command outlives.
        for (int last = std::max(FIRST, n - STRIDE + 1); last < n && !stopAt(last); ++last) {
        }
        return;
    }
    ADD_FAILURE() << command << " never finished";
}

Start prepared(const TempDir& dir) {
    restore(dir, Start{archiveBytes(archiveDirectory(
                           "", {archiveFile("README.TXT", std::string(3000, 'r')),
                                archiveDirectory("MAPS", {archiveFile("E1M1.MAP", "map")})})),
                       {}});
    return current(dir);
}

TEST(ChangeKill, ALongChangeStoppedAnywhereLeavesTheOldArchiveOrTheNew) {
    TempDir dir(scratchBase());
    const Start original = prepared(dir);
    ASSERT_EQ(run(dir, LONG_CHANGE + " game.dir"), 0) << readFile(dir.file("err"));
    const Start changed = current(dir);
    ASSERT_FALSE(changed.journal.empty());
    stopAtManyPoints(dir, LONG_CHANGE + " game.dir", original, original.archive, changed.archive);
    // Stopped once the change was complete, its history undoes it.
    restore(dir, original);
    ASSERT_EQ(run(dir, LONG_CHANGE + " game.dir"), 0);
    ASSERT_EQ(run(dir, DIRRIP + " --undo game.dir"), 0) << readFile(dir.file("err"));
    EXPECT_TRUE(readFileBytes(dir.file("game.dir")) == original.archive);
}

TEST(ChangeKill, AnUndoStoppedAnywhereIsFinishedAtTheNextOpen) {
    TempDir dir(scratchBase());
    const Start original = prepared(dir);
    ASSERT_EQ(run(dir, LONG_CHANGE + " game.dir"), 0) << readFile(dir.file("err"));
    const Start changed = current(dir);
    stopAtManyPoints(dir, DIRRIP + " --undo game.dir", changed, changed.archive, original.archive);
}

// The same through --replace of a large file.
TEST(ChangeKill, AReplaceStoppedAnywhereLeavesTheOldArchiveOrTheNew) {
    TempDir dir(scratchBase());
    const Start original = prepared(dir);
    writeFile(dir.file("new.txt"), std::string(3 << 20, 'n'));
    const std::string replace = DIRRIP + " --replace game.dir readme.txt new.txt";
    ASSERT_EQ(run(dir, replace), 0) << readFile(dir.file("err"));
    const Start changed = current(dir);
    stopAtManyPoints(dir, replace, original, original.archive, changed.archive);
}

// A long --update: many entries replaced (smaller, bigger, the same size)
// and files added, as one change; stopped anywhere, the archive opened again
// is the old one or the updated one, and an undo of the whole is the same.
TEST(ChangeKill, AnUpdateStoppedAnywhereLeavesTheOldArchiveOrTheNew) {
    TempDir dir(scratchBase());
    std::vector<ArchiveNode> files;
    for (int i = 0; i < 48; ++i)
        files.push_back(archiveFile("F" + std::to_string(i) + ".BIN",
                                    std::string(size_t(200 + 100 * i), char('a' + i % 26))));
    restore(dir,
            Start{archiveBytes(archiveDirectory("", {archiveFile("README.TXT", "hello"),
                                                     archiveDirectory("DATA", std::move(files))})),
                  {}});
    const Start original = current(dir);
    ASSERT_EQ(run(dir, DIRRIP + " -x game.dir -C tree"), 0) << readFile(dir.file("err"));
    for (int i = 0; i < 48; ++i) {
        const auto size = size_t(200 + 100 * i + (i % 3 == 0 ? 0 : i % 3 == 1 ? 700 : -150));
        writeFile(dir.file("tree/DATA/F" + std::to_string(i) + ".BIN"), std::string(size, 'Z'));
    }
    for (int i = 0; i < 4; ++i)
        writeFile(dir.file("tree/NEW" + std::to_string(i) + "/N.BIN"), std::string(900, 'n'));
    const std::string update = DIRRIP + " --update game.dir tree --add-new";
    ASSERT_EQ(run(dir, update), 0) << readFile(dir.file("err"));
    const Start updated = current(dir);
    stopAtManyPoints(dir, update, original, original.archive, updated.archive);
    stopAtManyPoints(dir, DIRRIP + " --undo game.dir", updated, updated.archive, original.archive);
}

}  // namespace
