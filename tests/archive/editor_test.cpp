#include "archive/editor.h"

#include <gtest/gtest.h>

#include <cstring>

#include "archive/record.h"
#include "edit_fixture.h"
#include "support/archive_fixture.h"
#include "support/memory_byte_store.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A root listing of files laid by hand, with free gaps of 36, 10, 50 and 20
// bytes between their data: A [300,320), B [330,350), S1 and S2 sharing
// [400,420), C [440,470); the file ends at 470.
Bytes gappedArchive() {
    Bytes bytes;
    appendRecord(bytes, "A", TYPE_FILE, 20, 300);
    appendRecord(bytes, "B", TYPE_FILE, 20, 330);
    appendRecord(bytes, "S1", TYPE_FILE, 20, 400);
    appendRecord(bytes, "S2", TYPE_FILE, 20, 400);
    appendRecord(bytes, "C", TYPE_FILE, 30, 440);
    appendEnd(bytes);
    bytes.resize(470, '.');
    auto fill = [&](size_t at, size_t length, char c) {
        std::memset(bytes.data() + at, c, length);
    };
    fill(300, 20, 'a');
    fill(330, 20, 'b');
    fill(400, 20, 's');
    fill(440, 30, 'c');
    return bytes;
}

TEST(EditorPlacement, NewDataGoesInPlaceIntoTheSmallestGapOrToTheEnd) {
    struct Row {
        const char* path;
        size_t size;
        uint32_t offset;
        const char* why;
    };
    const Row rows[] = {
        {"A", 20, 300, "equal: in place"},
        {"a", 5, 300, "smaller: in place"},
        {"B", 0, 330, "empty: keeps its offset, writes nothing"},
        {"A", 21, 264, "bigger: the smallest gap that holds it (36 of 10, 20, 36, 50)"},
        {"C", 40, 350, "bigger: the 50-byte gap"},
        {"S1", 5, 320, "shared data is never written in place: the 10-byte gap"},
        {"C", 60, 470, "no gap holds it: the end"},
        {"C", 70000, 4096, "64 KiB or more at the end: on a page boundary"},
    };
    const Bytes archive = gappedArchive();
    const TreeState before = treeOf(archive);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        const std::string data(row.size, 'N');
        const EditPlan plan = planOrFail(archive, {replaceWith(row.path, data)});
        TreeState expected = before;
        const std::string path(1, row.path[0] & ~0x20);
        const std::string key = row.path[1] != '\0' ? row.path : path;
        expected[key] = fileHolding(data, row.offset);
        expectTree(treeOf(applyPlan(archive, plan)), expected);
        // Nothing is written but the data and the record's size and offset.
        uint64_t written = 0;
        for (const EditWrite& write : plan.writes) written += write.length;
        EXPECT_LE(written, row.size + 8);
    }
}

// An archive as --create writes it: listings first, then data, no gaps.
Bytes createdArchive() {
    return archiveBytes(archiveDirectory(
        "", {archiveFile("README", "read me"),
             archiveDirectory("MAPS", {archiveFile("E1M1.MAP", "map one"),
                                       archiveDirectory("DEEP", {archiveFile("X.BIN", "x")})}),
             archiveDirectory("SOUND", {archiveFile("BANG.WAV", "bang")})}));
}

TEST(EditorRoundTrip, ReplacingAddingAndMakingDirectoriesKeepEveryOtherEntry) {
    const Bytes archive = createdArchive();
    const TreeState before = treeOf(archive);

    {
        SCOPED_TRACE("bigger data goes to the end, the record follows it");
        TreeState expected = before;
        expected["MAPS/E1M1.MAP"] = fileHolding("a much longer map");
        expectTree(treeOf(applyPlan(
                       archive,
                       planOrFail(archive, {replaceWith("maps\\e1m1.map", "a much longer map")}))),
                   expected, {"MAPS/E1M1.MAP"});
    }
    {
        SCOPED_TRACE("adding to a sub-directory whose listing has no room moves that listing");
        TreeState expected = before;
        expected["SOUND/NEW.WAV"] = fileHolding("new");
        expectTree(
            treeOf(applyPlan(archive, planOrFail(archive, {addWith("sound/NEW.WAV", "new")}))),
            expected, {"SOUND", "SOUND/NEW.WAV"});
    }
    {
        SCOPED_TRACE("a new nested path makes its directories");
        TreeState expected = before;
        expected["MAPS/EP2/LEVELS"] = directoryEntry();
        expected["MAPS/EP2"] = directoryEntry();
        expected["MAPS/EP2/LEVELS/E2M1.MAP"] = fileHolding("two");
        expected["MAPS/DEEP/Empty"] = directoryEntry();
        expectTree(treeOf(applyPlan(archive,
                                    planOrFail(archive, {addWith("MAPS/EP2/LEVELS/E2M1.MAP", "two"),
                                                         makingDirectory("/maps/deep/Empty/")}))),
                   {expected.begin(), expected.end()},
                   {"MAPS", "MAPS/DEEP", "MAPS/EP2", "MAPS/EP2/LEVELS", "MAPS/EP2/LEVELS/E2M1.MAP",
                    "MAPS/DEEP/Empty"});
    }
}

TEST(EditorRoundTrip, TheRootListingGrowsByMovingWhatFollowsIt) {
    // The root listing is followed at once by MAPS's listing: two new root
    // entries in one plan move it (and whatever else lies in the way) once.
    const Bytes archive = createdArchive();
    const TreeState before = treeOf(archive);
    const EditPlan plan =
        planOrFail(archive, {addWith("NEW.TXT", "new"), makingDirectory("EXTRA")});
    TreeState expected = before;
    expected["NEW.TXT"] = fileHolding("new");
    expected["EXTRA"] = directoryEntry();
    const TreeState after = treeOf(applyPlan(archive, plan));
    expectTree(after, expected, {"NEW.TXT", "EXTRA", "MAPS", "MAPS/DEEP"});
    ASSERT_EQ(plan.notes.size(), 1u);
    EXPECT_NE(plan.notes[0].find("root listing"), std::string::npos);
    // The listings moved for the root are read from the plan, the rest stay.
    EXPECT_NE(after.at("MAPS").offset, before.at("MAPS").offset);

    // Data right after the root listing moves with its bytes unchanged.
    Bytes tight;
    appendRecord(tight, "A", TYPE_FILE, 4, 88);
    appendEnd(tight);
    const std::string a = "AAAA";
    tight.insert(tight.end(), a.begin(), a.end());
    // Room is made once for both new root records, so A's data moves once.
    const EditPlan moved = planOrFail(tight, {addWith("B", "bb"), makingDirectory("C/D")});
    bool copied = false;
    for (const EditWrite& write : moved.writes)
        copied = copied || (write.source == EDIT_SOURCE_ARCHIVE && write.sourceOffset == 88);
    EXPECT_TRUE(copied);
    ASSERT_EQ(moved.notes.size(), 1u);
    EXPECT_EQ(moved.notes[0].rfind("1 listing or file was moved", 0), 0u) << moved.notes[0];
    TreeState want = treeOf(tight);
    want["B"] = fileHolding("bb");
    want["C"] = directoryEntry();
    want["C/D"] = directoryEntry();
    expectTree(treeOf(applyPlan(tight, moved)), want, {"A", "B", "C", "C/D"});
}

TEST(EditorRoundTrip, DeletingAndRenaming) {
    const Bytes archive = createdArchive();
    const TreeState before = treeOf(archive);
    {
        SCOPED_TRACE("a file, and a directory with everything below it");
        TreeState expected = before;
        expected.erase("README");
        for (const char* gone : {"MAPS", "MAPS/E1M1.MAP", "MAPS/DEEP", "MAPS/DEEP/X.BIN"})
            expected.erase(gone);
        const EditPlan plan = planOrFail(archive, {deleting("readme"), deleting("MAPS")});
        expectTree(treeOf(applyPlan(archive, plan)), expected);
        // Records after a deleted one move up; freed data is left as it was.
        EXPECT_EQ(plan.newLength, archive.size());
    }
    {
        SCOPED_TRACE("a rename patches the name, in any letter case of its own");
        TreeState expected = before;
        expected["MAPS/e1m1.map"] = expected["MAPS/E1M1.MAP"];
        expected.erase("MAPS/E1M1.MAP");
        expected["SOUNDS"] = expected["SOUND"];
        expected["SOUNDS/BANG.WAV"] = expected["SOUND/BANG.WAV"];
        expected.erase("SOUND");
        expected.erase("SOUND/BANG.WAV");
        const EditPlan plan = planOrFail(
            archive, {renaming("MAPS/E1M1.MAP", "e1m1.map"), renaming("sound", "SOUNDS")});
        expectTree(treeOf(applyPlan(archive, plan)), expected);
        for (const EditWrite& write : plan.writes) EXPECT_LE(write.length, DIR_NAME_SIZE);
    }
    {
        SCOPED_TRACE("later requests see what earlier ones left");
        TreeState expected = before;
        expected.erase("README");
        expected["README"] = fileHolding("again");
        expected["MAPS/NEW.MAP"] = fileHolding("new");
        // MAPS's record moves up when README goes, then MAPS's listing
        // moves for lack of room and its record is repointed.
        expectTree(treeOf(applyPlan(
                       archive, planOrFail(archive, {deleting("README"), addWith("README", "again"),
                                                     addWith("MAPS/NEW.MAP", "new")}))),
                   expected, {"README", "MAPS", "MAPS/NEW.MAP"});
    }
}

// Records the loader drops: a second "readme" beside "README", and a second
// "dir" record whose listing merges into "DIR".
Bytes duplicatesArchive() {
    Bytes bytes;
    appendRecord(bytes, "README", TYPE_FILE, 3, 300);
    appendRecord(bytes, "DIR", TYPE_DIRECTORY, 0, 176);
    appendRecord(bytes, "readme", TYPE_FILE, 3, 303);
    appendEnd(bytes);  // [0,176)
    appendRecord(bytes, "X", TYPE_FILE, 1, 306);
    appendEnd(bytes);  // DIR [176,264)
    bytes.resize(300, 0);
    for (char c : std::string("onetwox")) bytes.push_back(static_cast<uint8_t>(c));
    return bytes;
}

TEST(EditorRoundTrip, HiddenRecordsGoAlongAndSaySo) {
    const Bytes archive = duplicatesArchive();
    const TreeState before = treeOf(archive);
    ASSERT_EQ(before.at("README").data, "one");

    const EditPlan removed = planOrFail(archive, {deleting("README")});
    TreeState expected = before;
    expected.erase("README");
    expectTree(treeOf(applyPlan(archive, removed)), expected);
    ASSERT_EQ(removed.notes.size(), 1u);
    EXPECT_NE(removed.notes[0].find("went with it"), std::string::npos);

    const EditPlan renamed = planOrFail(archive, {renaming("readme", "INFO")});
    expected = before;
    expected["INFO"] = expected["README"];
    expected.erase("README");
    const Bytes after = applyPlan(archive, renamed);
    expectTree(treeOf(after), expected);
    EXPECT_EQ(decodeDirRecord(after.data() + 2 * DIR_RECORD_SIZE).name, std::string("INFO"));
    EXPECT_EQ(renamed.notes.size(), 1u);

    // The hidden name counts as taken.
    EXPECT_NE(refusal(archive, {renaming("DIR", "ReadMe")}).find("taken"), std::string::npos);
}

TEST(EditorRoundTrip, SharedAndMergedListingsChangeOnlyWhereAsked) {
    // A and B share one listing; DIR and dir merge two.
    Bytes bytes;
    appendRecord(bytes, "A", TYPE_DIRECTORY, 0, 220);
    appendRecord(bytes, "B", TYPE_DIRECTORY, 0, 220);
    appendRecord(bytes, "DIR", TYPE_DIRECTORY, 0, 308);
    appendRecord(bytes, "dir", TYPE_DIRECTORY, 0, 352);
    appendEnd(bytes);  // [0,220)
    appendRecord(bytes, "F", TYPE_FILE, 2, 440);
    appendEnd(bytes);  // shared [220,308)
    appendEnd(bytes);  // DIR's own, empty [308,352)
    appendRecord(bytes, "Y", TYPE_FILE, 2, 442);
    appendEnd(bytes);  // merged [352,440)
    bytes.resize(444, 0);
    bytes[440] = 'f';
    bytes[442] = 'y';
    const TreeState before = treeOf(bytes);
    ASSERT_EQ(before.count("DIR/Y"), 1u);

    const EditPlan plan = planOrFail(bytes, {addWith("A/G", "g"), replaceWith("b/f", "ff"),
                                             addWith("dir/Z", "z"), deleting("DIR/Y")});
    TreeState expected = before;
    expected["A/G"] = fileHolding("g");
    expected["B/F"] = fileHolding("ff");
    expected["DIR/Z"] = fileHolding("z");
    expected.erase("DIR/Y");
    const Bytes after = applyPlan(bytes, plan);
    expectTree(treeOf(after), expected, {"A", "A/G", "B", "B/F", "DIR", "DIR/Z"});
    // The shared listing is copied for each side; the original stays as read.
    EXPECT_TRUE(std::equal(bytes.begin() + 220, bytes.begin() + 308, after.begin() + 220));
    // A merged directory's new entries go into its own record's listing
    // (moved, for lack of room), not into the merged one.
    const DirRecord dir = decodeDirRecord(after.data() + 2 * DIR_RECORD_SIZE);
    EXPECT_EQ(decodeDirRecord(after.data() + dir.offset).name, std::string("Z"));
    EXPECT_EQ(decodeDirRecord(after.data() + 352).type, TYPE_END);
}

// A ByteSource of nearly 4 GiB: the root listing, the empty listing of DIR,
// and one file filling the rest; every other byte reads as zero.
class NearlyFullArchive : public ByteSource {
  public:
    NearlyFullArchive() {
        appendRecord(listing_, "DIR", TYPE_DIRECTORY, 0, 132);
        appendRecord(listing_, "BIG", TYPE_FILE, static_cast<uint32_t>(size() - 176), 176);
        appendEnd(listing_);
        appendEnd(listing_);
    }
    uint64_t size() const override { return 0xFFFFFF00ull; }
    int64_t readAt(uint64_t offset, void* buffer, size_t count) const override {
        if (offset >= size())
            return 0;
        const size_t length = static_cast<size_t>(std::min<uint64_t>(count, size() - offset));
        std::memset(buffer, 0, length);
        for (size_t i = 0; i < length && offset + i < listing_.size(); ++i)
            static_cast<uint8_t*>(buffer)[i] = listing_[offset + i];
        return static_cast<int64_t>(length);
    }

  private:
    Bytes listing_;
};

TEST(Editor, NothingReachesPast4GiB) {
    NearlyFullArchive archive;
    auto refused = [&](const EditRequest& request) {
        EditPlan plan;
        std::string why;
        EXPECT_EQ(planArchiveEdit(archive, {request}, &plan, &why), 0);
        return why;
    };
    EXPECT_NE(refused(addWith("DIR/MORE", std::string(512, 'm'))).find("4 GiB"), std::string::npos);
    EditRequest huge;
    huge.operation = EDIT_REPLACE;
    huge.path = "BIG";
    huge.hostPath = "/nonexistent";
    huge.hostSize = 0x100000000ull;
    EXPECT_NE(refused(huge).find("4 GiB or larger"), std::string::npos);
    // What fits below the limit still goes, at the end.
    EditPlan plan;
    std::string why;
    ASSERT_EQ(planArchiveEdit(archive, {addWith("DIR/SMALL", std::string(100, 's'))}, &plan, &why),
              1)
        << why;
    EXPECT_EQ(plan.newLength, 0xFFFFFF00ull + 2 * DIR_RECORD_SIZE + 100);
}

TEST(Editor, RefusalsSayWhyAndPlanNothing) {
    const Bytes archive = createdArchive();
    Bytes cyclic;  // LOOP leads back to the root listing, which is still being read
    appendRecord(cyclic, "LOOP", TYPE_DIRECTORY, 0, 0);
    appendRecord(cyclic, "F", TYPE_FILE, 0, 0);
    appendEnd(cyclic);
    Bytes selfCycle;  // D's listing holds a record leading back to it, and cannot move
    appendRecord(selfCycle, "D", TYPE_DIRECTORY, 0, 132);
    appendRecord(selfCycle, "AFTER", TYPE_FILE, 4, 220);
    appendEnd(selfCycle);
    appendRecord(selfCycle, "SELF", TYPE_DIRECTORY, 0, 132);
    appendEnd(selfCycle);
    selfCycle.resize(224, 'a');
    struct Row {
        const Bytes* archive;
        EditRequest request;
        const char* says;
    };
    const Row rows[] = {
        {&archive, replaceWith("NOPE", "x"), "no entry 'NOPE'"},
        {&archive, deleting("MAPS/NOPE/X"), "no entry"},
        {&archive, replaceWith("MAPS", "x"), "is a directory"},
        {&archive, addWith("maps/e1m1.map", "x"), "--replace"},
        {&archive, makingDirectory("Maps/Deep"), "already exists"},
        {&archive, addWith("README/X", "x"), "'README' is not a directory"},
        {&archive, renaming("README", "maps"), "taken"},
        {&archive, renaming("README", "A/B"), "'/'"},
        {&archive, renaming("README", ".."), "'..'"},
        {&archive, renaming("README", std::string(33, 'N')), "at most 32"},
        {&archive, addWith("SOUND/./X", "x"), "'.'"},
        {&archive, makingDirectory("/"), "no path"},
        {&cyclic, addWith("LOOP/X", "x"), "cycle"},
        {&selfCycle, addWith("D/X", "x"), "cycle"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.says);
        EXPECT_NE(refusal(*row.archive, {row.request}).find(row.says), std::string::npos)
            << refusal(*row.archive, {row.request});
    }
    // One refused request refuses the whole plan.
    EXPECT_NE(refusal(archive, {addWith("OK", "fine"), deleting("NOPE")}), "");
}

TEST(EditorNames, Utf8NamesBecomeCodePage437OrAreRefused) {
    struct Row {
        const char* utf8;
        const char* cp437;  // null: refused
    };
    const std::string longest(32, 'L');
    std::string accented32;
    for (int i = 0; i < 32; ++i) accented32 += "é";
    const std::string accented32InCp437(32, '\x82');
    const Row rows[] = {
        {"README.TXT", "README.TXT"},
        {"Ä☺.TXT", "\x8E\x01.TXT"},
        {longest.c_str(), longest.c_str()},
        {accented32.c_str(), accented32InCp437.c_str()},
        {"", nullptr},
        {".", nullptr},
        {"..", nullptr},
        {"A/B", nullptr},
        {"A\\B", nullptr},
        {"日本", nullptr},
        {"tab\there", nullptr},
        {"\xC3", nullptr},
    };
    for (const Row& row : rows) {
        std::string cp437 = "unchanged";
        std::string why;
        const int done = editNameFromUtf8(row.utf8, &cp437, &why);
        EXPECT_EQ(done, row.cp437 != nullptr ? 1 : 0) << row.utf8 << ": " << why;
        if (row.cp437 != nullptr)
            EXPECT_EQ(cp437, row.cp437);
        else
            EXPECT_EQ(cp437, "unchanged");
        EXPECT_EQ(why.find('\n'), std::string::npos);
    }
    std::string cp437;
    std::string why;
    EXPECT_EQ(editNameFromUtf8(longest + "X", &cp437, &why), 0);
    EXPECT_NE(why.find("at most 32"), std::string::npos);
}

}  // namespace
