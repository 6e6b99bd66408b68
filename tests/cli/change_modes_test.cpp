// The modes that change archives and take changes back: what they print, their
// exit statuses, and that a refusal leaves the archive byte for byte as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "archive/change.h"
#include "cli_support.h"
#include "support/archive_fixture.h"

namespace {

namespace fs = std::filesystem;

ArchiveNode gameTree() {
    return archiveDirectory("", {archiveFile("README.TXT", "hello\n"),
                                 archiveDirectory("MAPS", {archiveFile("E1M1.MAP", "map one")})});
}

// Appends `bytes` at the end of the archive as one change described as `description`.
void appendChange(const std::string& archive, const std::string& description, size_t bytes) {
    EditPlan plan;
    plan.description = description;
    plan.oldLength = fs::file_size(archive);
    plan.newLength = plan.oldLength + bytes;
    EditWrite write;
    write.offset = plan.oldLength;
    write.length = bytes;
    write.bytes.assign(bytes, 'z');
    plan.writes.push_back(write);
    ChangeReport report;
    ASSERT_EQ(applyArchivePlan(archive, plan, ChangeOptions{}, &report), 1) << report.why;
}

TEST(ChangeModes, HistoryUndoAndForget) {
    TempDir dir;
    const std::string archive = writeArchive(dir, gameTree());
    const std::vector<uint8_t> original = readFileBytes(archive);
    appendChange(archive, "add PADDING", 100);
    const std::vector<uint8_t> once = readFileBytes(archive);
    appendChange(archive, "add MORE", 20);

    ModeRun history = runDirrip({"--history", archive});
    EXPECT_EQ(history.status, 0) << history.err;
    const std::regex lines(
        "2  \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d  add MORE  \\(20 bytes\\)\n"
        "1  \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d  add PADDING  \\(100 bytes\\)\n");
    EXPECT_TRUE(std::regex_match(history.out, lines)) << history.out;

    ModeRun undo = runDirrip({"--undo", archive});
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(undo.out, "undone: add MORE\n");
    EXPECT_TRUE(readFileBytes(archive) == once);

    const uint64_t journal = fs::file_size(archive + "-journal");
    ModeRun forget = runDirrip({"--forget", archive});
    EXPECT_EQ(forget.status, 0) << forget.err;
    EXPECT_EQ(forget.out, "forgot 1 change: " + std::to_string(journal) + " bytes freed\n");
    EXPECT_FALSE(fs::exists(archive + "-journal"));
    EXPECT_TRUE(readFileBytes(archive) == once);

    ModeRun none = runDirrip({"--undo", archive});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err,
              "dirrip: cannot undo a change of '" + archive + "': there is no change to undo\n");
    EXPECT_EQ(runDirrip({"--history", archive}).out, "no changes to undo\n");
    EXPECT_FALSE(readFileBytes(archive) == original);
}

TEST(ChangeModes, ReadingModesRollAnUnfinishedChangeBackAndSaySo) {
    TempDir dir;
    const std::string archive = writeArchive(dir, gameTree());
    const std::vector<uint8_t> original = readFileBytes(archive);
    for (const char* mode : {"--list", "--cat", "--verify", "--extract", "--history"}) {
        appendChange(archive, "add PADDING", 100);
        // Cut the mark of completion: the change is left unfinished.
        fs::resize_file(archive + "-journal", fs::file_size(archive + "-journal") - 3);
        std::vector<std::string> args{mode, archive};
        if (std::string(mode) == "--cat")
            args.push_back("README.TXT");
        if (std::string(mode) == "--extract")
            args.insert(args.end(), {"-C", dir.file("out")});
        ModeRun run = runDirrip(args);
        EXPECT_EQ(run.status, 0) << mode << ": " << run.err;
        EXPECT_EQ(run.err.rfind("dirrip: rolled back an unfinished change: add PADDING\n", 0), 0u)
            << mode << ": " << run.err;
        EXPECT_TRUE(readFileBytes(archive) == original) << mode;
    }
}

TEST(ChangeModes, RefusalsChangeNothing) {
    TempDir dir;
    const std::string archive = writeArchive(dir, gameTree());
    const std::string data = dir.write("new.map", {'n', 'e', 'w'});
    const std::string readOnly = writeArchive(dir, gameTree(), "ro.dir");
    fs::permissions(readOnly, fs::perms::owner_read);
    const std::vector<uint8_t> original = readFileBytes(archive);
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"--replace", archive, "MAPS/E1M1.MAP", dir.file("missing")},
         "cannot change '%s': cannot read '%d/missing': No such file or directory"},
        {{"--add", archive, "MAPS", dir.path()}, "cannot change '%s': '%d' is not a regular file"},
        {{"--mkdir", archive, "\xE2\x82\xAC"},
         "cannot change '%s': '\xE2\x82\xAC' holds a character that names in the archive "
         "cannot hold"},
        {{"--replace", readOnly, "MAPS/E1M1.MAP", data},
         "cannot change '%r': the archive is read-only"},
        {{"--undo", readOnly}, "cannot undo a change of '%r': the archive is read-only"},
        {{"--forget", dir.file("none.dir")},
         "cannot forget the history of '%d/none.dir': No such file or directory"},
    };
    for (const auto& c : cases) {
        std::string expected = std::string("dirrip: ") + c.message + "\n";
        for (auto [mark, text] : {std::pair{"%s", archive}, {"%r", readOnly}, {"%d", dir.path()}}) {
            for (size_t at; (at = expected.find(mark)) != std::string::npos;)
                expected.replace(at, 2, text);
        }
        ModeRun run = runDirrip(c.args);
        EXPECT_EQ(run.status, 1) << c.args[0];
        EXPECT_EQ(run.err, expected);
        EXPECT_EQ(run.out, "");
    }
    EXPECT_TRUE(readFileBytes(archive) == original);
    EXPECT_FALSE(fs::exists(archive + "-journal"));
    EXPECT_FALSE(fs::exists(readOnly + "-journal"));
}

// Every change mode, then --undo back to the start, one byte-identical
// archive at each step.
TEST(ChangeModes, EachModeThenUndoBackToTheStart) {
    TempDir dir;
    const std::string archive = writeArchive(dir, gameTree());
    const std::string data = dir.write("new.map", std::vector<uint8_t>(5000, 'n'));
    const std::vector<std::vector<std::string>> changes{
        {"--replace", archive, "maps/e1m1.map", data},
        {"--add", archive, "SOUNDS/NEW/BOOM.WAV", data},
        {"--rename", archive, "README.TXT", "LISEZMOI.TXT"},
        {"--mkdir", archive, "SAVES"},
        {"--delete", archive, "MAPS"},
    };
    std::vector<std::vector<uint8_t>> snapshots{readFileBytes(archive)};
    for (const auto& change : changes) {
        ModeRun run = runDirrip(change);
        ASSERT_EQ(run.status, 0) << change[0] << ": " << run.err;
        snapshots.push_back(readFileBytes(archive));
    }
    ModeRun listed = runDirrip({"--list", archive});
    EXPECT_NE(listed.out.find("SOUNDS/NEW/BOOM.WAV"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("LISEZMOI.TXT"), std::string::npos) << listed.out;
    EXPECT_EQ(listed.out.find("MAPS"), std::string::npos) << listed.out;
    EXPECT_EQ(runDirrip({"--cat", archive, "SOUNDS/NEW/BOOM.WAV"}).out, std::string(5000, 'n'));
    for (size_t i = changes.size(); i-- > 0;) {
        ModeRun undo = runDirrip({"--undo", archive});
        ASSERT_EQ(undo.status, 0) << undo.err;
        EXPECT_TRUE(readFileBytes(archive) == snapshots[i]) << "undoing " << changes[i][0];
    }
    EXPECT_FALSE(fs::exists(archive + "-journal"));
}

}  // namespace
