// The archive opened for a change on Windows: other programs still read it,
// a second writer is refused as a sharing violation, the read-only attribute
// is honoured, and the journal file is made, written and removed.
#include <gtest/gtest.h>

#include <string>

#include "platform/edit_files.h"
#include "win_scratch.h"

namespace {

TEST(WinEditFiles, ReadersStayWhileASecondWriterIsRefused) {
    WinScratch dir;
    const std::string path = dir.write("game.dir", "0123456789");
    ArchiveFile browser;
    ASSERT_EQ(browser.open(path.c_str()), 1);
    EditableArchive change;
    std::string why;
    ASSERT_EQ(change.open(path.c_str(), &browser.stamp().identity, 0, &why), EDIT_OPEN_OK) << why;
    EXPECT_EQ(change.stamp(), browser.stamp());

    ArchiveFile reader;
    EXPECT_EQ(reader.open(path.c_str()), 1);
    EditableArchive second;
    EXPECT_EQ(second.open(path.c_str(), nullptr, 100, &why), EDIT_OPEN_BUSY);
    EXPECT_EQ(why, "another program has the archive in use");

    ASSERT_EQ(change.writeAt(12, "ab", 2, &why), 1) << why;
    EXPECT_EQ(change.size(), 14u);
    ASSERT_EQ(change.setLength(11, &why), 1) << why;
    ASSERT_EQ(change.sync(&why), 1) << why;
    change.close();
    char bytes[16] = {};
    ArchiveFile after;
    ASSERT_EQ(after.open(path.c_str()), 1);
    ASSERT_EQ(after.readAt(0, bytes, sizeof bytes), 11);
    EXPECT_EQ(std::string(bytes, 11), std::string("0123456789") + '\0');
}

TEST(WinEditFiles, ReadOnlyAttributeAndAnotherFile) {
    WinScratch dir;
    const std::string path = dir.write("game.dir", "data");
    const std::string other = dir.write("other.dir", "data");
    ArchiveFile otherFile;
    ASSERT_EQ(otherFile.open(other.c_str()), 1);
    EditableArchive change;
    std::string why;
    EXPECT_EQ(change.open(path.c_str(), &otherFile.stamp().identity, 0, &why), EDIT_OPEN_REPLACED);
    ASSERT_TRUE(SetFileAttributesW(systemPath(path).c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(change.open(path.c_str(), nullptr, 0, &why), EDIT_OPEN_READ_ONLY);
    EXPECT_EQ(why, "the archive is read-only");
    SetFileAttributesW(systemPath(path).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(WinEditFiles, JournalMadeWrittenAndRemoved) {
    WinScratch dir;
    const std::string path = journalPathFor(dir.file("game.dir"));
    EXPECT_EQ(path, dir.file("game.dir-journal"));
    JournalFile journal;
    bool missing = false;
    std::string why;
    EXPECT_EQ(journal.open(path.c_str(), JOURNAL_UPDATE, &missing, &why), 0);
    EXPECT_TRUE(missing);
    ASSERT_EQ(journal.open(path.c_str(), JOURNAL_CREATE, &missing, &why), 1) << why;
    ASSERT_EQ(journal.writeAt(0, "step", 4, &why), 1) << why;
    ASSERT_EQ(journal.sync(&why), 1) << why;
    JournalFile reader;
    ASSERT_EQ(reader.open(path.c_str(), JOURNAL_READ, &missing, &why), 1) << why;
    EXPECT_EQ(reader.size(), 4u);
    reader.close();
    journal.close();
    EXPECT_EQ(removeJournalFile(path, &why), 1) << why;
    EXPECT_EQ(removeJournalFile(path, &why), 1) << why;
    EXPECT_EQ(GetFileAttributesW(systemPath(path).c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
