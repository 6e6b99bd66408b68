#include "browser/rip_action.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <filesystem>
#include <functional>

#include "archive/search.h"
#include "archive/session.h"
#include "browser/state.h"
#include "console/backend.h"
#include "console/memory_console.h"
#include "output/copy_out.h"
#include "output/scratch_dir.h"
#include "support/test_tree.h"

namespace fs = std::filesystem;

namespace {

using namespace output_test;

uint64_t injectedFreeSpace;
uint64_t injectedFigure(OutputDirectory) {
    return injectedFreeSpace;
}

// An archive whose data area is a byte pattern; the tree is built by hand
// over it, and files are ripped into out/, the current directory.
class RipTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(temp.path().empty());
        data = patternBytes(200000, 3);
        writeFile(temp / "arch.dir", data);
        fs::create_directory(temp / "out");
        here = std::make_unique<ChangeDirectory>(temp / "out");
        setConsoleBackend(&console);
        browser = BrowserState();
        browser.openPath = temp / "arch.dir";
        browser.archivePath = "ARCH.DIR";
        // The session's own tree is not used: the tests build theirs by hand
        // over the same file.
        session.open(browser.openPath.c_str(), browser.archivePath);
        browser.session = &session;
        browser.panel.current = tree.root();
        browser.workBuffer = workBuffer;
    }
    void TearDown() override {
        here.reset();
        setConsoleBackend(nullptr);
        copyIo = savedIo;
        browser = BrowserState();
    }

    std::string ripped(const std::string& path) { return readFile(temp / ("out/" + path)); }
    std::string bytesOf(const Entry* e) { return data.substr(e->info->offset, e->size); }
    void limitFreeSpace(uint64_t bytes) {
        injectedFreeSpace = bytes;
        copyIo.freeSpace = injectedFigure;
    }

    ScratchDir temp;
    ArchiveSession session;
    std::string data;
    std::unique_ptr<ChangeDirectory> here;
    MemoryConsole console;
    TestTree tree{"ARCH.DIR"};
    unsigned char workBuffer[WORK_BUFFER_SIZE];
    CopyIo savedIo = copyIo;
};

TEST_F(RipTest, RipsTheFileUnderTheCursorWithProgress) {
    tree.subdir(tree.root(), "SUB");
    Entry* big = tree.file(tree.root(), "BIG.BIN", 20000, 1000);
    tree.file(tree.root(), "OTHER.BIN", 10, 5);
    browser.panel.cursor = childIndex(big);

    ripEntries();
    EXPECT_EQ(browser.terminationReason, REASON_NONE);
    EXPECT_EQ(ripped("BIG.BIN"), bytesOf(big));
    EXPECT_FALSE(fs::exists(temp / "out/OTHER.BIN"));
    EXPECT_EQ(big->info->ripped, 1);
    // One flush per block: 00 % then 81 % for 20,000 bytes.
    EXPECT_EQ(console.flushCount, 2);
    EXPECT_EQ(console.row(24), "Ripping 'BIG.BIN' 81%" + std::string(59, ' '));
    EXPECT_EQ(console.rowAttributes(24)[9], 0x8F);
    EXPECT_EQ(console.rowAttributes(24)[16], 0x87);
}

TEST_F(RipTest, ProgressShowsANameWithTheMarkerWhole) {
    Entry* e = tree.file(tree.root(), "A~B.BIN", 20000, 0);
    browser.panel.cursor = childIndex(e);
    ripEntries();
    EXPECT_EQ(console.row(24), "Ripping 'A~B.BIN' 81%" + std::string(59, ' '));
    EXPECT_EQ(console.rowAttributeRuns(24), "87x9 8Fx7 87x64");
}

TEST_F(RipTest, ProgressIsFlushedOnlyWhenItsFigureChanges) {
    data = patternBytes(300 * RIP_BLOCK_SIZE, 4);
    writeFile(temp / "big.dir", data);
    ArchiveSession bigArchive;
    bigArchive.open((temp / "big.dir").c_str(), "BIG.DIR");
    browser.session = &bigArchive;
    browser.openPath = temp / "big.dir";
    Entry* big = tree.file(tree.root(), "BIG", uint32_t(data.size()), 0);
    Entry* small = tree.file(tree.root(), "SMALL", 10, 0);
    browser.panel.cursor = childIndex(big);
    ripEntries();
    EXPECT_TRUE(ripped("BIG") == data);
    EXPECT_EQ(console.flushCount, 100);  // 00 to 99, each once over 300 blocks
    EXPECT_EQ(console.row(24).substr(0, 16), "Ripping 'BIG' 99");
    // The keyboard is looked at about once a megabyte, not once a block.
    EXPECT_LE(console.pollCount, 8);

    // Each file shows its first figure, even when the last file ended on the same text.
    browser.panel.cursor = childIndex(small);
    ripEntries();
    ripEntries();
    EXPECT_EQ(console.flushCount, 102);
}

TEST_F(RipTest, EmptyFileIsCreatedWithoutProgress) {
    Entry* empty = tree.file(tree.root(), "EMPTY", 0, 0);
    writeFile(temp / "out/EMPTY", "old contents");
    browser.panel.cursor = childIndex(empty);
    ripEntries();
    EXPECT_EQ(browser.terminationReason, REASON_NONE);
    EXPECT_TRUE(fs::exists(temp / "out/EMPTY"));
    EXPECT_EQ(ripped("EMPTY"), "");
    EXPECT_EQ(empty->info->ripped, 1);
    EXPECT_EQ(console.flushCount, 0);
}

TEST_F(RipTest, SelectionWinsOverTheCursor) {
    Entry* a = tree.file(tree.root(), "A", 16384, 0);
    Entry* b = tree.file(tree.root(), "B", 300, 50000);
    Entry* c = tree.file(tree.root(), "C", 40000, 60000);
    a->info->selected = c->info->selected = 1;
    browser.panel.cursor = childIndex(b);

    ripEntries();
    EXPECT_EQ(browser.terminationReason, REASON_NONE);
    EXPECT_EQ(ripped("A"), bytesOf(a));
    EXPECT_EQ(ripped("C"), bytesOf(c));
    EXPECT_FALSE(fs::exists(temp / "out/B"));
    EXPECT_EQ(a->info->ripped + c->info->ripped, 2);
    EXPECT_EQ(a->info->selected + c->info->selected, 0);
    EXPECT_EQ(b->info->ripped, 0);
    EXPECT_EQ(console.flushCount, 1 + 3);

    // With the selection gone, the next F2 takes the cursor's file; ripping
    // again writes it again.
    ripEntries();
    EXPECT_EQ(ripped("B"), bytesOf(b));
    fs::remove(temp / "out/B");
    ripEntries();
    EXPECT_EQ(ripped("B"), bytesOf(b));
    EXPECT_EQ(b->info->ripped, 1);
}

TEST_F(RipTest, DirectoriesAndOtherDirectoriesSelectionsAreNotRipped) {
    Entry* sub = tree.subdir(tree.root(), "SUB");
    Entry* inner = tree.file(sub, "INNER", 10, 0);
    inner->info->selected = 1;
    tree.file(tree.root(), "F", 10, 0);
    browser.panel.cursor = childIndex(sub);
    ripEntries();
    EXPECT_EQ(browser.terminationReason, REASON_NONE);
    EXPECT_TRUE(fs::is_empty(temp / "out"));
    EXPECT_EQ(inner->info->selected, 1);

    browser.panel.current = sub;
    browser.panel.cursor = 0;  // on "..."
    inner->info->selected = 0;
    ripEntries();
    EXPECT_TRUE(fs::is_empty(temp / "out"));
}

TEST_F(RipTest, NamesBecomeConfinedUtf8Paths) {
    struct Case {
        std::string stored;
        std::string onDisk;
    } cases[] = {
        {"DATA\\MAP.BIN", "DATA/MAP.BIN"},
        {"WHAT?.TXT", "WHAT_.TXT"},
        {"..\\..\\EVIL.TXT", "__/__/EVIL.TXT"},
        {"\\ROOTED\\X", "ROOTED/X"},
        {"\x8E.TXT", "Ä.TXT"},
    };
    uint32_t offset = 0;
    for (const Case& c : cases) {
        Entry* e = tree.file(tree.root(), c.stored, 100, offset += 1000);
        e->info->selected = 1;
    }
    ripEntries();
    ASSERT_EQ(browser.terminationReason, REASON_NONE) << browser.reasonSubject;
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(ripped(cases[i].onDisk), data.substr(1000 * (i + 1), 100)) << cases[i].onDisk;
    // Nothing landed beside the current directory.
    EXPECT_EQ(std::distance(fs::directory_iterator(temp.path()), fs::directory_iterator()), 2);
}

TEST_F(RipTest, SymbolicLinkInTheWayEndsTheRunWithoutWritingOutside) {
    fs::create_directory(temp / "elsewhere");
    fs::create_directory_symlink(temp / "elsewhere", temp / "out/DATA");
    Entry* e = tree.file(tree.root(), "DATA\\MAP.BIN", 10, 0);
    browser.panel.cursor = childIndex(e);
    ripEntries();
    EXPECT_EQ(browser.terminationReason, REASON_MKDIR_FAILED);
    EXPECT_EQ(browser.reasonSubject, (temp / "out/DATA"));
    EXPECT_EQ(browser.reasonCause, "a symbolic link is in the way");
    EXPECT_TRUE(fs::is_empty(temp / "elsewhere"));
    EXPECT_EQ(e->info->ripped, 0);
}

TEST_F(RipTest, SecondOfThreeDoesNotFit) {
    Entry* a = tree.file(tree.root(), "A", 1000, 0);
    Entry* b = tree.file(tree.root(), "B\\B", 1001, 0);
    Entry* c = tree.file(tree.root(), "C", 10, 0);
    a->info->selected = b->info->selected = c->info->selected = 1;
    limitFreeSpace(1000);  // equal to A's size is enough
    ripEntries();
    EXPECT_EQ(browser.terminationReason, REASON_DISK_FULL);
    EXPECT_EQ(browser.reasonSubject, "B\\B");
    EXPECT_EQ(ripped("A"), bytesOf(a));
    EXPECT_EQ(a->info->ripped, 1);
    EXPECT_FALSE(fs::exists(temp / "out/B"));  // not even its directory
    EXPECT_FALSE(fs::exists(temp / "out/C"));
    EXPECT_EQ(c->info->selected, 1);
}

TEST_F(RipTest, FailuresNameTheEntryAsStored) {
    struct Case {
        const char* label;
        std::function<void(Entry*)> arrange;
        int32_t reason;
        std::string cause;
    } cases[] = {
        {"cursor file without room", [this](Entry*) { limitFreeSpace(99); }, REASON_DISK_FULL, ""},
        {"directory in place of the file",
         [this](Entry*) { fs::create_directory(temp / "out/WHAT_.BIN"); }, REASON_CREATE_FAILED,
         "a directory is in the way"},
        {"data beyond the archive", [](Entry* e) { e->info->offset = 199950; }, REASON_READ_FAILED,
         ""},
        {"disk fills during the copy",
         [](Entry*) {
             copyIo.copyRange = [](OutputFile*, intptr_t, uint64_t, size_t, int* error) {
                 *error = ENOSPC;
                 return int64_t(-1);
             };
         },
         REASON_WRITE_FAILED, "no space left on the device"},
    };
    for (const Case& c : cases) {
        TestTree local("ARCH.DIR");
        Entry* e = local.file(local.root(), "WHAT?.BIN", 100, 0);
        browser.panel.current = local.root();
        browser.panel.cursor = 0;
        browser.terminationReason = REASON_NONE;
        c.arrange(e);
        ripEntries();
        EXPECT_EQ(browser.terminationReason, c.reason) << c.label;
        EXPECT_EQ(browser.reasonSubject, "WHAT?.BIN") << c.label;
        EXPECT_EQ(browser.reasonCause, c.cause) << c.label;
        EXPECT_EQ(e->info->ripped, 0) << c.label;
        if (c.reason != REASON_CREATE_FAILED) {
            EXPECT_FALSE(fs::exists(temp / "out/WHAT_.BIN")) << c.label;
        }
        fs::remove_all(temp / "out/WHAT_.BIN");
        copyIo = savedIo;
    }
}

TEST_F(RipTest, FileInPlaceOfDirectoryNamesTheDirectory) {
    fs::create_directory(temp / "out/A");
    writeFile(temp / "out/A/B", "a file");
    Entry* e = tree.file(tree.root(), "A\\B\\C.BIN", 10, 0);
    browser.panel.cursor = childIndex(e);
    ripEntries();
    EXPECT_EQ(browser.terminationReason, REASON_MKDIR_FAILED);
    EXPECT_EQ(browser.reasonSubject, (temp / "out/A/B"));
}

TEST_F(RipTest, ReadsTheArchiveOpenedAtStartEvenWhenThePathIsReplaced) {
    Entry* e = tree.file(tree.root(), "F", 10, 0);
    fs::remove(temp / "arch.dir");
    writeFile(temp / "arch.dir", std::string(200000, 'x'));
    ripEntries();
    EXPECT_EQ(browser.terminationReason, REASON_NONE);
    EXPECT_EQ(ripped("F"), bytesOf(e));
}

TEST_F(RipTest, NamesThatMeetOnDiskAreAllKept) {
    // "A?B" and "A*B" both become "A_B", the name of a third file; "." becomes "_".
    Entry* a = tree.file(tree.root(), "A*B", 10, 100);
    Entry* b = tree.file(tree.root(), "A?B", 10, 200);
    Entry* plain = tree.file(tree.root(), "A_B", 10, 250);
    Entry* dot = tree.file(tree.root(), ".", 10, 300);
    a->info->selected = b->info->selected = plain->info->selected = dot->info->selected = 1;
    ripEntries();
    ASSERT_EQ(browser.terminationReason, REASON_NONE) << browser.reasonSubject;
    EXPECT_EQ(ripped("A_B"), bytesOf(plain));
    EXPECT_EQ(ripped("A_B~2"), bytesOf(a));
    EXPECT_EQ(ripped("A_B~3"), bytesOf(b));
    EXPECT_EQ(ripped("_"), bytesOf(dot));
    // A later F2 writes the same file again under its own name.
    b->info->selected = 1;
    ripEntries();
    EXPECT_EQ(ripped("A_B"), bytesOf(b));
}

TEST_F(RipTest, EscStopsTheRipAndKeepsWhatWasDone) {
    Entry* a = tree.file(tree.root(), "A", 1000, 0);
    Entry* b = tree.file(tree.root(), "B", 100000, 100);
    Entry* c = tree.file(tree.root(), "C", 10, 0);
    a->info->selected = b->info->selected = c->info->selected = 1;
    writeFile(temp / "out/B", "an earlier rip");
    // A looks once and finds nothing; B's first look finds Down, then Esc.
    console.typedAhead = {KEY_NOT_READY, KEY_DOWN, KEY_ESC, 'x', KEY_F2};
    ripEntries();
    EXPECT_EQ(browser.terminationReason, REASON_NONE);
    EXPECT_EQ(browser.notice, RIP_CANCELLED_NOTICE);
    EXPECT_EQ(ripped("A"), bytesOf(a));
    EXPECT_EQ(a->info->ripped, 1);
    EXPECT_EQ(a->info->selected, 0);
    // B was stopped before its first byte: the earlier file stands, nothing beside it.
    EXPECT_EQ(ripped("B"), "an earlier rip");
    EXPECT_EQ(b->info->ripped + c->info->ripped, 0);
    EXPECT_EQ(b->info->selected + c->info->selected, 2);
    EXPECT_EQ(std::distance(fs::directory_iterator(temp / "out"), fs::directory_iterator()), 2);
    EXPECT_TRUE(console.typedAhead.empty());  // the keys after Esc went too
}

}  // namespace
