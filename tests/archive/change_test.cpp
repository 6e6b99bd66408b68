// Changing archives on disk: the journal beside the archive, the lock, the
// refusals that leave everything as it was, and the roll-back every open does.
#include "archive/change.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "support/archive_fixture.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

#ifdef _WIN32
constexpr const char* BUSY_WORDS = "another program has the archive in use";
#else
constexpr const char* BUSY_WORDS = "busy: another program is changing it";
#endif

// An archive of one file, README.TXT ("hello\n"), written record by record.
Bytes smallArchive() {
    Bytes bytes;
    appendRecord(bytes, "README.TXT", TYPE_FILE, 6, 2 * DIR_RECORD_SIZE);
    appendEnd(bytes);
    for (char c : std::string("hello\n")) bytes.push_back(uint8_t(c));
    return bytes;
}

// Puts "HELLO!" in place of README.TXT's data.
EditPlan shout() {
    EditPlan plan;
    plan.description = "replace README.TXT";
    plan.oldLength = plan.newLength = smallArchive().size();
    EditWrite write;
    write.offset = 2 * DIR_RECORD_SIZE;
    write.length = 6;
    write.phase = EDIT_PHASE_PATCH;
    write.bytes = {'H', 'E', 'L', 'L', 'O', '!'};
    plan.writes.push_back(write);
    return plan;
}

TEST(ChangeArchive, AppliesAndUndoesThroughTheJournalBeside) {
    TempDir dir;
    const std::string path = dir.write("game.dir", smallArchive());
    ChangeReport report;
    ASSERT_EQ(applyArchivePlan(path, shout(), ChangeOptions{}, &report), 1) << report.why;
    EXPECT_EQ(report.lines, std::vector<std::string>{"replace README.TXT: 6 bytes written"});
    EXPECT_TRUE(fs::exists(path + "-journal"));
    {
        LoadedArchive loaded(path);
        EXPECT_EQ(loaded.session.file().stamp(), report.stamp);
        EXPECT_NE(report.stamp.identity.file, 0u);
    }
    std::vector<HistoryEntry> history;
    ASSERT_EQ(readChangeHistory(path, &history, &report), 1) << report.why;
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].number, 1);
    EXPECT_EQ(history[0].description, "replace README.TXT");
    EXPECT_EQ(history[0].bytesWritten, 6u);

    ChangeReport undone;
    ASSERT_EQ(undoArchiveChange(path, ChangeOptions{}, &undone), 1) << undone.why;
    EXPECT_EQ(undone.lines, std::vector<std::string>{"undone: replace README.TXT"});
    EXPECT_TRUE(readFileBytes(path) == smallArchive());
    EXPECT_FALSE(fs::exists(path + "-journal"));
    EXPECT_EQ(undoArchiveChange(path, ChangeOptions{}, &undone), 0);
    EXPECT_EQ(undone.why, "there is no change to undo");

    // A dry run says what it would do and writes nothing, journal included.
    ChangeOptions dry;
    dry.dryRun = true;
    ChangeReport would;
    ASSERT_EQ(applyArchivePlan(path, shout(), dry, &would), 1);
    EXPECT_EQ(would.lines,
              std::vector<std::string>{"replace README.TXT: 6 bytes would be written"});
    EXPECT_TRUE(readFileBytes(path) == smallArchive());
    EXPECT_FALSE(fs::exists(path + "-journal"));
}

TEST(ChangeArchive, RefusalsLeaveArchiveAndJournalAlone) {
    TempDir dir;
    const std::string path = dir.write("game.dir", smallArchive());
    FileStamp loaded;
    {
        LoadedArchive archive(path);
        loaded = archive.session.file().stamp();
    }
    const std::string other = dir.write("other.dir", smallArchive());
    FileStamp elsewhere;
    {
        LoadedArchive archive(other);
        elsewhere = archive.session.file().stamp();
    }
    FileStamp older = loaded;
    older.modifiedNanoseconds -= 1000000000;

    EditableArchive holder;
    const struct {
        const char* name;
        std::function<void()> before;
        const FileStamp* stamp;
        const char* words;
    } cases[] = {
        {"read-only",
         [&] {
             fs::permissions(
                 path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                 fs::perm_options::remove);
         },
         nullptr, "the archive is read-only"},
        {"locked", [&] { ASSERT_EQ(holder.open(path.c_str(), nullptr, 0, nullptr), EDIT_OPEN_OK); },
         nullptr, BUSY_WORDS},
        {"changed since it was loaded", [] {}, &older, "changed since it was loaded"},
        {"another file", [] {}, &elsewhere, "another file stands at the archive's path"},
    };
    for (const auto& c : cases) {
        c.before();
        ChangeOptions options;
        options.loaded = c.stamp;
        options.lockWaitMilliseconds = 100;
        ChangeReport report;
        EXPECT_EQ(applyArchivePlan(path, shout(), options, &report), 0) << c.name;
        EXPECT_NE(report.why.find(c.words), std::string::npos) << c.name << ": " << report.why;
        EXPECT_TRUE(readFileBytes(path) == smallArchive()) << c.name;
        EXPECT_FALSE(fs::exists(path + "-journal")) << c.name;
        fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
        holder.close();
    }
}

TEST(ChangeArchive, AJournalOfAnotherFileIsLeftAloneUntilForgotten) {
    TempDir dir;
    const std::string path = dir.write("game.dir", smallArchive());
    ChangeReport report;
    ASSERT_EQ(applyArchivePlan(path, shout(), ChangeOptions{}, &report), 1) << report.why;
    // A copy of both is another file: the journal's old bytes must never go into it.
    const std::string copy = dir.file("copy.dir");
    fs::copy_file(path, copy);
    fs::copy_file(path + "-journal", copy + "-journal");
    const Bytes changed = readFileBytes(copy);

    std::string note, why;
    EXPECT_EQ(settleArchive(copy, &note, &why), 1) << why;
    EXPECT_NE(note.find("belongs to another file"), std::string::npos) << note;
    EXPECT_EQ(undoArchiveChange(copy, ChangeOptions{}, &report), 0);
    EXPECT_NE(report.why.find("belongs to another file"), std::string::npos) << report.why;
    EXPECT_EQ(applyArchivePlan(copy, shout(), ChangeOptions{}, &report), 0);
    std::vector<HistoryEntry> history;
    EXPECT_EQ(readChangeHistory(copy, &history, &report), 1);
    EXPECT_TRUE(history.empty());
    EXPECT_TRUE(readFileBytes(copy) == changed);

    ChangeReport forgot;
    ASSERT_EQ(forgetChangeHistory(copy, ChangeOptions{}, &forgot), 1) << forgot.why;
    ASSERT_EQ(forgot.lines.size(), 1u);
    EXPECT_EQ(forgot.lines[0].rfind("dropped the journal of another file: ", 0), 0u);
    EXPECT_FALSE(fs::exists(copy + "-journal"));
    EXPECT_TRUE(readFileBytes(copy) == changed);
    // The original keeps its own history.
    EXPECT_EQ(undoArchiveChange(path, ChangeOptions{}, &report), 1) << report.why;
}

// Leaves `path` changed by `shout` with its step unfinished, as a crash
// between the archive's writes and the step's completion would.
void leaveUnfinished(const std::string& path) {
    ChangeReport report;
    ASSERT_EQ(applyArchivePlan(path, shout(), ChangeOptions{}, &report), 1) << report.why;
    const std::string journal = path + "-journal";
    fs::resize_file(journal, fs::file_size(journal) - 1);
}

TEST(ChangeArchive, EveryOpenRollsAnUnfinishedChangeBackFirst) {
    TempDir dir;
    const std::string path = dir.write("game.dir", smallArchive());
    leaveUnfinished(path);
    {
        LoadedArchive loaded(path);
        EXPECT_EQ(loaded.session.status(), SESSION_OK);
        EXPECT_EQ(loaded.session.recoveryNote(),
                  "rolled back an unfinished change: replace README.TXT");
    }
    EXPECT_TRUE(readFileBytes(path) == smallArchive());
    EXPECT_FALSE(fs::exists(path + "-journal"));

    // When it cannot be rolled back now, the archive is not opened at all.
    leaveUnfinished(path);
    const Bytes halfChanged = readFileBytes(path);
    fs::permissions(path, fs::perms::owner_read);
    {
        LoadedArchive loaded(path);
        EXPECT_EQ(loaded.session.status(), SESSION_UNFINISHED);
        EXPECT_EQ(loaded.session.openError(),
                  "it holds an unfinished change that cannot be rolled back now: the archive is "
                  "read-only");
        EXPECT_TRUE(loaded.root.children.empty());
    }
    EXPECT_TRUE(readFileBytes(path) == halfChanged);
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
    std::string note, why;
    EXPECT_EQ(settleArchive(path, &note, &why), 1) << why;
    EXPECT_TRUE(readFileBytes(path) == smallArchive());

    // Another file under the same file number (one removed, one made): an
    // unfinished change that could never have left its length is not rolled
    // back into it.
    leaveUnfinished(path);
    writeFile(path, "another file");
    {
        LoadedArchive loaded(path);
        EXPECT_NE(loaded.session.recoveryNote().find("belongs to another file"), std::string::npos)
            << loaded.session.recoveryNote();
    }
    EXPECT_EQ(readFile(path), "another file");
}

}  // namespace
