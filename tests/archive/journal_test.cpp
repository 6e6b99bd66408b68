// The journal: a change lands whole or not at all, whatever moment a crash
// picks, and undo gives every earlier archive back byte for byte.
#include "archive/journal.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/memory_byte_store.h"
#include "support/temp_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;

const FileIdentity IDENTITY{7, 42};

// Bytes that repeat at no power-of-two distance below 8 MiB, so that a block
// of a long copy read from or written to the wrong place shows.
Bytes pattern(size_t length, uint8_t seed) {
    Bytes bytes(length);
    for (size_t i = 0; i < length; ++i)
        bytes[i] = uint8_t(seed + i * 31 + (i >> 8) + (i >> 16) * 7);
    return bytes;
}

EditWrite put(uint64_t offset, Bytes bytes, EditWritePhase phase = EDIT_PHASE_DATA) {
    EditWrite write;
    write.offset = offset;
    write.length = bytes.size();
    write.phase = phase;
    write.bytes = std::move(bytes);
    return write;
}

EditWrite move(uint64_t offset, uint64_t from, uint64_t length) {
    EditWrite write;
    write.offset = offset;
    write.length = length;
    write.source = EDIT_SOURCE_ARCHIVE;
    write.sourceOffset = from;
    return write;
}

EditWrite fromFile(uint64_t offset, const std::string& path, uint64_t length) {
    EditWrite write;
    write.offset = offset;
    write.length = length;
    write.source = EDIT_SOURCE_HOST_FILE;
    write.hostPath = path;
    return write;
}

EditPlan plan(std::string description, uint64_t oldLength, uint64_t newLength,
              std::vector<EditWrite> writes) {
    EditPlan made;
    made.description = std::move(description);
    made.oldLength = oldLength;
    made.newLength = newLength;
    made.writes = std::move(writes);
    return made;
}

// What the archive must hold after `change`, worked out the plain way.
Bytes applied(const Bytes& old, const EditPlan& change) {
    Bytes result = old;
    for (const EditWrite& write : change.writes) {
        Bytes data = write.bytes;
        if (write.source == EDIT_SOURCE_ARCHIVE)
            data.assign(old.begin() + write.sourceOffset,
                        old.begin() + write.sourceOffset + write.length);
        if (write.source == EDIT_SOURCE_HOST_FILE)
            data = readFileBytes(write.hostPath);
        if (result.size() < write.offset + data.size())
            result.resize(write.offset + data.size());
        std::copy(data.begin(), data.end(), result.begin() + write.offset);
    }
    result.resize(change.newLength);
    return result;
}

int recover(ByteStore& archive, ByteStore& journal, std::string* why) {
    JournalContents contents;
    RecoveryAction action;
    std::string description;
    return readJournal(journal, &contents, why) &&
           recoverJournal(archive, journal, &contents, &action, &description, why);
}

int apply(ByteStore& archive, ByteStore& journal, const EditPlan& change, std::string* why) {
    JournalContents contents;
    return readJournal(journal, &contents, why) &&
           applyJournalStep(archive, journal, &contents, IDENTITY, change, 1700000000, why);
}

int undo(ByteStore& archive, ByteStore& journal, std::string* why) {
    JournalContents contents;
    return readJournal(journal, &contents, why) &&
           undoJournalStep(archive, journal, &contents, why);
}

int completeSteps(const Bytes& journal) {
    MemoryByteStore store(journal);
    JournalContents contents;
    std::string why;
    EXPECT_EQ(readJournal(store, &contents, &why), 1) << why;
    int complete = 0;
    for (const JournalStep& step : contents.steps) complete += step.state == STEP_COMPLETE;
    return complete;
}

// After any crash and a recovery, the archive is the old one with no step
// left or the new one with its step complete, never anything between.
void expectOldOrNew(const MemoryByteStore& archive, const MemoryByteStore& journal,
                    const Bytes& before, const Bytes& after, const std::string& where) {
    if (archive.bytes == before) {
        EXPECT_EQ(completeSteps(journal.bytes), 0) << where;
        EXPECT_EQ(journal.bytes.size(), 0u) << where;
    } else {
        EXPECT_TRUE(archive.bytes == after) << where << ": neither the old archive nor the new";
        EXPECT_EQ(completeSteps(journal.bytes), 1) << where;
    }
}

struct KillCase {
    const char* name;
    Bytes archive;
    EditPlan change;
};

std::vector<KillCase> killCases(const TempDir& dir) {
    const Bytes old = pattern(4096, 1);
    const std::string host = dir.write("new.bin", pattern(200, 9));
    return {
        {"grows", old,
         plan("replace A", 4096, 5300,
              {put(5000, pattern(300, 3)), move(4200, 100, 64), fromFile(2000, host, 200),
               put(0, pattern(44, 5), EDIT_PHASE_PATCH),
               put(1000, pattern(8, 6), EDIT_PHASE_PATCH)})},
        {"shrinks", old, plan("delete B", 4096, 3000, {put(10, pattern(20, 4), EDIT_PHASE_PATCH)})},
    };
}

TEST(Journal, ACrashAtAnyPointLeavesTheOldArchiveOrTheNew) {
    TempDir dir;
    for (const KillCase& c : killCases(dir)) {
        const Bytes after = applied(c.archive, c.change);
        bool finished = false;
        for (int64_t n = 0; !finished && n < 200; ++n) {
            auto budget = std::make_shared<CrashBudget>();
            budget->operationsLeft = n;
            MemoryByteStore archive(c.archive, budget), journal({}, budget);
            std::string why;
            const int done = apply(archive, journal, c.change, &why);
            finished = !budget->crashed;
            EXPECT_EQ(done, finished ? 1 : 0) << c.name << " " << n << ": " << why;
            // A process killed keeps everything written; a machine stopped
            // keeps only what was synced. Either may then be cut short again
            // while it is rolled back, at any point, before a recovery that runs.
            for (bool killed : {true, false}) {
                const Bytes& leftArchive = killed ? archive.bytes : archive.durable;
                const Bytes& leftJournal = killed ? journal.bytes : journal.durable;
                bool recovered = false;
                for (int64_t m = 0; !recovered && m < 200; ++m) {
                    auto again = std::make_shared<CrashBudget>();
                    again->operationsLeft = m;
                    MemoryByteStore firstArchive(leftArchive, again),
                        firstJournal(leftJournal, again);
                    recover(firstArchive, firstJournal, &why);
                    recovered = !again->crashed;
                    for (bool killedAgain : {true, false}) {
                        MemoryByteStore lastArchive(killedAgain ? firstArchive.bytes
                                                                : firstArchive.durable);
                        MemoryByteStore lastJournal(killedAgain ? firstJournal.bytes
                                                                : firstJournal.durable);
                        ASSERT_EQ(recover(lastArchive, lastJournal, &why), 1) << why;
                        const std::string where = std::string(c.name) + " after " +
                                                  std::to_string(n) + ", roll-back cut after " +
                                                  std::to_string(m);
                        expectOldOrNew(lastArchive, lastJournal, c.archive, after, where);
                        if (done) {
                            EXPECT_TRUE(lastArchive.bytes == after) << where;
                        }
                    }
                }
            }
        }
        EXPECT_TRUE(finished) << c.name;
    }
}

TEST(Journal, ACrashDuringUndoLeavesTheArchiveAsAfterOrBeforeTheStep) {
    TempDir dir;
    for (const KillCase& c : killCases(dir)) {
        MemoryByteStore changed(c.archive), journal;
        std::string why;
        ASSERT_EQ(apply(changed, journal, c.change, &why), 1) << why;
        bool finished = false;
        for (int64_t n = 0; !finished && n < 200; ++n) {
            auto budget = std::make_shared<CrashBudget>();
            budget->operationsLeft = n;
            MemoryByteStore archive(changed.bytes, budget), log(journal.bytes, budget);
            const int done = undo(archive, log, &why);
            finished = !budget->crashed;
            for (bool killed : {true, false}) {
                MemoryByteStore leftArchive(killed ? archive.bytes : archive.durable);
                MemoryByteStore leftJournal(killed ? log.bytes : log.durable);
                ASSERT_EQ(recover(leftArchive, leftJournal, &why), 1) << why;
                const std::string where =
                    std::string(c.name) + " undo cut after " + std::to_string(n);
                expectOldOrNew(leftArchive, leftJournal, c.archive, changed.bytes, where);
                if (done) {
                    EXPECT_TRUE(leftArchive.bytes == c.archive) << where;
                }
            }
        }
        EXPECT_TRUE(finished) << c.name;
    }
}

TEST(Journal, UndoGivesBackEveryEarlierArchiveInTurn) {
    TempDir dir;
    // Longer than the blocks the journal copies in: its copies, checks and
    // saved bytes each take several.
    const uint64_t large = 5 << 19;
    const std::string host = dir.write("data.bin", pattern(large, 77));
    MemoryByteStore archive(pattern(2048, 2)), journal;
    std::vector<Bytes> snapshots{archive.bytes};
    const std::vector<EditPlan> changes{
        plan("replace in place", 2048, 2048, {put(500, pattern(100, 11), EDIT_PHASE_PATCH)}),
        plan("add at the end", 2048, 3000 + large,
             {fromFile(3000, host, large), put(44, pattern(44, 12), EDIT_PHASE_PATCH)}),
        plan("cut", 3000 + large, 1000, {put(0, pattern(10, 13), EDIT_PHASE_PATCH)}),
        plan("move and patch", 1000, 1500,
             {move(1200, 0, 300), put(0, pattern(44, 14), EDIT_PHASE_PATCH)}),
        plan("nothing but notes", 1500, 1500, {}),
    };
    std::string why;
    for (const EditPlan& change : changes) {
        ASSERT_EQ(apply(archive, journal, change, &why), 1) << change.description << ": " << why;
        EXPECT_TRUE(archive.bytes == applied(snapshots.back(), change)) << change.description;
        snapshots.push_back(archive.bytes);
    }
    for (size_t i = changes.size(); i-- > 0;) {
        ASSERT_EQ(undo(archive, journal, &why), 1) << changes[i].description << ": " << why;
        EXPECT_TRUE(archive.bytes == snapshots[i]) << "undoing " << changes[i].description;
    }
    EXPECT_EQ(journal.bytes.size(), 0u);
    EXPECT_EQ(undo(archive, journal, &why), 0);
    EXPECT_EQ(why, "there is no change to undo");
}

TEST(Journal, RefusalsLeaveArchiveAndJournalAsTheyWere) {
    TempDir dir;
    const Bytes old = pattern(1000, 3);
    const std::string host = dir.write("host.bin", pattern(50, 1));
    const EditPlan good = plan("good", 1000, 1000, {put(10, pattern(10, 2), EDIT_PHASE_PATCH)});
    MemoryByteStore done(old), history;
    std::string why;
    ASSERT_EQ(apply(done, history, good, &why), 1) << why;

    const struct {
        const char* name;
        EditPlan change;
        const char* words;
    } changes[] = {
        {"a plan for another length", plan("x", 999, 999, {}), "length changed"},
        {"a host file that is gone", plan("x", 1000, 1100, {fromFile(1000, dir.file("gone"), 100)}),
         "cannot read"},
        {"a host file of another length", plan("x", 1000, 1100, {fromFile(1000, host, 100)}),
         "holds 50 bytes, not 100"},
        {"an archive of 4 GiB", plan("x", 1000, 1ull << 32, {}), "4 GiB"},
        {"data after patches",
         plan("x", 1000, 1000, {put(0, {1}, EDIT_PHASE_PATCH), put(5, {1}, EDIT_PHASE_DATA)}),
         "inconsistent"},
        {"moving bytes already overwritten",
         plan("x", 1000, 1200, {put(0, {1}), move(1100, 0, 10)}), "inconsistent"},
    };
    for (const auto& c : changes) {
        MemoryByteStore archive(done.bytes), journal(history.bytes);
        EXPECT_EQ(apply(archive, journal, c.change, &why), 0) << c.name;
        EXPECT_NE(why.find(c.words), std::string::npos) << c.name << ": " << why;
        EXPECT_TRUE(archive.bytes == done.bytes) << c.name;
        EXPECT_TRUE(journal.bytes == history.bytes) << c.name;
    }

    // A write that fails part way: the step is rolled back at once.
    for (int failing = 0; failing < 3; ++failing) {
        MemoryByteStore archive(old), journal;
        archive.failingWrite = failing;
        const EditPlan change = plan("three writes", 1000, 1300,
                                     {put(1000, pattern(300, 4)), put(20, {9}, EDIT_PHASE_PATCH),
                                      put(30, {9}, EDIT_PHASE_PATCH)});
        EXPECT_EQ(apply(archive, journal, change, &why), 0);
        EXPECT_EQ(why, "simulated write failure");
        EXPECT_TRUE(archive.bytes == old) << failing;
        EXPECT_EQ(journal.bytes.size(), 0u) << failing;
    }

    // Something else changed the archive after the step: undo would mix the two.
    const struct {
        const char* name;
        uint64_t at;
        size_t length;
    } edits[] = {{"a byte the step wrote", 15, 1000}, {"the length", 1000, 1001}};
    for (const auto& edit : edits) {
        MemoryByteStore archive(done.bytes), journal(history.bytes);
        archive.bytes.resize(edit.length);
        archive.bytes[edit.at] ^= 0xFF;
        const Bytes touched = archive.bytes;
        EXPECT_EQ(undo(archive, journal, &why), 0) << edit.name;
        EXPECT_NE(why.find("changed by something else"), std::string::npos) << why;
        EXPECT_TRUE(archive.bytes == touched) << edit.name;
        EXPECT_TRUE(journal.bytes == history.bytes) << edit.name;
    }
}

TEST(Journal, ACutJournalShowsTheWholeRecordsBeforeTheCut) {
    MemoryByteStore archive(pattern(300, 5)), journal;
    std::string why;
    ASSERT_EQ(apply(archive, journal, plan("one", 300, 400, {put(300, pattern(100, 1))}), &why), 1);
    ASSERT_EQ(
        apply(archive, journal, plan("two", 400, 400, {put(0, {1, 2}, EDIT_PHASE_PATCH)}), &why),
        1);
    JournalContents whole;
    ASSERT_EQ(readJournal(journal, &whole, &why), 1);
    ASSERT_EQ(whole.steps.size(), 2u);
    for (uint64_t cut = 0; cut <= journal.bytes.size(); ++cut) {
        MemoryByteStore shorter(Bytes(journal.bytes.begin(), journal.bytes.begin() + cut));
        JournalContents contents;
        ASSERT_EQ(readJournal(shorter, &contents, &why), 1);
        EXPECT_LE(contents.end, cut);
        size_t seen = 0, complete = 0;
        for (size_t i = 0; i < whole.steps.size(); ++i) {
            const JournalStep& step = whole.steps[i];
            const uint64_t completeEnd =
                i + 1 < whole.steps.size() ? whole.steps[i + 1].start : whole.end;
            seen += step.start + RECORD_HEADER_SIZE + step.record.payloadLength <= cut;
            complete += completeEnd <= cut;
        }
        ASSERT_EQ(contents.steps.size(), seen) << "cut at " << cut;
        for (size_t i = 0; i < seen; ++i) {
            EXPECT_EQ(contents.steps[i].state == STEP_COMPLETE, i < complete) << "cut at " << cut;
            EXPECT_EQ(contents.steps[i].description, whole.steps[i].description);
        }
        EXPECT_EQ(journalNeedsRecovery(contents, cut),
                  cut != 0 && cut != whole.steps[1].start && cut != whole.end)
            << "cut at " << cut;
    }
}

}  // namespace
