// The archive file on Windows: wide paths, long paths, refusals, sharing.
#include <gtest/gtest.h>

#include <string>

#include "platform/archive_file.h"
#include "win_scratch.h"

namespace {

TEST(WinArchiveFile, ReadsAtOffsetsAndStopsAtTheEnd) {
    WinScratch dir;
    std::string path = dir.write("a.dir", "0123456789");
    ArchiveFile file;
    ASSERT_EQ(file.open(path.c_str()), 1);
    EXPECT_EQ(file.size(), 10u);
    char buffer[16] = {};
    EXPECT_EQ(file.readAt(3, buffer, 4), 4);
    EXPECT_EQ(std::string(buffer, 4), "3456");
    EXPECT_EQ(file.readAt(8, buffer, 8), 2);
    EXPECT_EQ(file.readAt(10, buffer, 8), 0);
    EXPECT_EQ(file.readAt(100, buffer, 8), 0);
}

TEST(WinArchiveFile, NamesOutsideTheAnsiCodePageAndPastTheOldLimit) {
    WinScratch dir;
    // Greek and box-drawing letters have no form in most ANSI code pages.
    std::string path = dir.write("\u03A9\u2554\u00E9.dir", "xy");
    ArchiveFile file;
    EXPECT_EQ(file.open(path.c_str()), 1);
    EXPECT_EQ(file.size(), 2u);

    std::string walked;
    for (int i = 0; i < 6; ++i) {
        walked += std::string(50, char('a' + i)) + "\\";
        ASSERT_TRUE(CreateDirectoryW(systemPath(dir.file(walked)).c_str(), nullptr));
    }
    std::string longPath = dir.write(walked + "long.dir", "abc");
    ASSERT_GT(longPath.size(), 300u);
    EXPECT_EQ(file.open(longPath.c_str()), 1);
    EXPECT_EQ(file.size(), 3u);
}

TEST(WinArchiveFile, RefusesWhatIsNoArchiveWithTheCause) {
    WinScratch dir;
    ArchiveFile file;
    std::string why;
    EXPECT_EQ(file.open(dir.file("missing.dir").c_str(), &why), 0);
    EXPECT_EQ(why, "No such file or directory");
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(file.open(dir.file("").c_str(), &why), 0);
    EXPECT_EQ(why, "not a regular file");
    EXPECT_EQ(file.open("NUL", &why), 0);
    EXPECT_EQ(why, "not a regular file");
}

// A change (which locks other writers out itself) must not be blocked by
// the browser's open archive.
TEST(WinArchiveFile, OthersMayReadWriteAndRenameWhileOpen) {
    WinScratch dir;
    std::string path = dir.write("shared.dir", "data");
    ArchiveFile file;
    ASSERT_EQ(file.open(path.c_str()), 1);
    std::wstring name = systemPath(path);
    HANDLE reader = CreateFileW(name.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    CloseHandle(reader);
    HANDLE writer = CreateFileW(name.c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(writer, INVALID_HANDLE_VALUE);
    if (writer != INVALID_HANDLE_VALUE)
        CloseHandle(writer);
    std::wstring moved = systemPath(dir.file("moved.dir"));
    EXPECT_TRUE(MoveFileW(name.c_str(), moved.c_str()));
    char buffer[4];
    EXPECT_EQ(file.readAt(0, buffer, 4), 4);
}

}  // namespace
