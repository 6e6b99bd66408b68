#include "archive/writer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "archive/loader.h"
#include "archive/record.h"
#include "support/archive_fixture.h"

namespace {

using Names = std::vector<std::string>;

std::string contentsAt(const std::vector<uint8_t>& archive, const Entry* file) {
    const size_t offset = file->info->offset;
    if (offset + file->size > archive.size())
        return "<outside the archive>";
    return std::string(archive.begin() + static_cast<ptrdiff_t>(offset),
                       archive.begin() + static_cast<ptrdiff_t>(offset + file->size));
}

Names filesIn(const std::string& directory) {
    Names names;
    for (const auto& item : std::filesystem::directory_iterator(directory)) {
        names.push_back(item.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Writer, WrittenTreesLoadBackWithTheirData) {
    TempDir dir;
    const std::string big(200000, 'x');  // crosses the copy blocks
    const std::string bigPath = dir.write("big.src", std::vector<uint8_t>(big.begin(), big.end()));
    const std::string name32 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345";
    ArchiveNode tree = archiveDirectory(
        "",
        {archiveFile("ZETA.TXT", "zeta"),
         archiveDirectory("MAPS", {archiveFile("E1M1.MAP", "map one"), archiveDirectory("EMPTY"),
                                   archiveFile("DATA/INNER.BIN", "inner")}),
         archiveFile("EMPTY.BIN", ""), archiveFileFromDisk("BIG.BIN", bigPath),
         archiveFile(name32, "long")});
    tree.children[1].directorySize = 1234;
    const std::string path = writeArchive(dir, tree, "t.dir");
    const std::vector<uint8_t> archive = readFileBytes(path);

    LoadedArchive loaded(path);
    ASSERT_EQ(loaded.result, 1);
    EXPECT_EQ(LoadedArchive::names(&loaded.root),
              (Names{"MAPS", name32, "BIG.BIN", "EMPTY.BIN", "ZETA.TXT"}));
    const Entry* maps = loaded.root.children[0];
    EXPECT_EQ(maps->size, 1234u);
    EXPECT_EQ(LoadedArchive::names(maps), (Names{"...", "EMPTY", "DATA\\INNER.BIN", "E1M1.MAP"}));
    EXPECT_EQ(LoadedArchive::names(maps->children[1]), Names{"..."});
    EXPECT_EQ(contentsAt(archive, maps->children[2]), "inner");
    EXPECT_EQ(contentsAt(archive, maps->children[3]), "map one");
    EXPECT_EQ(contentsAt(archive, LoadedArchive::child(&loaded.root, "BIG.BIN")), big);
    EXPECT_EQ(contentsAt(archive, LoadedArchive::child(&loaded.root, "EMPTY.BIN")), "");
    EXPECT_EQ(contentsAt(archive, LoadedArchive::child(&loaded.root, name32)), "long");

    // The same tree gives the same bytes, in memory or on disk.
    EXPECT_EQ(archiveBytes(tree), archive);
    EXPECT_EQ(filesIn(dir.path()), (Names{"big.src", "t.dir"}));
}

TEST(Writer, RecordsFollowTheTreeOrderWithTheTypeFill) {
    ArchiveNode tree = archiveDirectory(
        "", {archiveFile("B", "1"), archiveDirectory("SUB"), archiveFile("A", "22")});
    const std::vector<uint8_t> bytes = archiveBytes(tree);
    // Root listing (4 records), SUB's listing (1), then data "1" and "22".
    ASSERT_EQ(bytes.size(), 5 * DIR_RECORD_SIZE + 3);
    const unsigned char* first = bytes.data();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(first)), "B");
    const std::vector<uint8_t> fileType(first + DIR_TYPE_OFFSET, first + DIR_TYPE_OFFSET + 4);
    EXPECT_EQ(fileType, (std::vector<uint8_t>{0x00, 0xCD, 0xCD, 0xCD}));
    EXPECT_EQ(decodeFixed32(first + DIR_SIZE_OFFSET), 1u);
    EXPECT_EQ(decodeFixed32(first + DIR_OFFSET_OFFSET), 5 * DIR_RECORD_SIZE);

    const unsigned char* second = first + DIR_RECORD_SIZE;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(second)), "SUB");
    const std::vector<uint8_t> directoryType(second + DIR_TYPE_OFFSET,
                                             second + DIR_TYPE_OFFSET + 4);
    EXPECT_EQ(directoryType, (std::vector<uint8_t>{0x01, 0xCD, 0xCD, 0xCD}));
    EXPECT_EQ(decodeFixed32(second + DIR_OFFSET_OFFSET), 4 * DIR_RECORD_SIZE);

    const unsigned char* third = second + DIR_RECORD_SIZE;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(third)), "A");
    EXPECT_EQ(decodeFixed32(third + DIR_OFFSET_OFFSET), 5 * DIR_RECORD_SIZE + 1);
    EXPECT_EQ(decodeDirRecord(third + DIR_RECORD_SIZE).type, TYPE_END);
}

TEST(Writer, RefusesWhatWouldMakeABadArchive) {
    TempDir dir;
    const std::string sparse = dir.file("sparse.src");
    {
        const int fd = ::open(sparse.c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(ftruncate(fd, off_t{3} << 30), 0);  // 3 GB, no blocks used
        ::close(fd);
    }
    struct Case {
        const char* what;
        ArchiveNode tree;
        const char* message;
    };
    const Case cases[] = {
        {"long name", archiveDirectory("", {archiveFile(std::string(33, 'N'), "")}),
         "is longer than 32 bytes"},
        {"empty name", archiveDirectory("", {archiveDirectory("SUB", {archiveFile("", "")})}),
         "empty name"},
        {"NUL in name", archiveDirectory("", {archiveFile(std::string("A\0B", 3), "")}), "NUL"},
        {"case duplicates",
         archiveDirectory("", {archiveDirectory("D", {archiveFile("Intro.bin", ""),
                                                      archiveFile("INTRO.BIN", "")})}),
         "'D/Intro.bin' and 'D/INTRO.BIN' differ only in letter case"},
        {"missing source", archiveDirectory("", {archiveFileFromDisk("A", dir.file("nope"))}),
         "cannot read"},
        {"directory as source", archiveDirectory("", {archiveFileFromDisk("A", dir.path())}),
         "is not a regular file"},
        {"over 4 GB",
         archiveDirectory("", {archiveFileFromDisk("A", sparse), archiveFileFromDisk("B", sparse)}),
         "larger than 4 GB"},
        {"file as root", archiveFile("ROOT", ""), "root must be a directory"},
    };
    const std::string target = dir.write("old.dir", {1, 2, 3});
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(writeArchiveFile(c.tree, target, &error), 0) << c.what;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
        std::vector<uint8_t> bytes{9};
        EXPECT_EQ(writeArchiveBytes(c.tree, &bytes, nullptr), 0) << c.what;
        EXPECT_TRUE(bytes.empty()) << c.what;
    }
    // One check names every problem, not just the first.
    std::vector<std::string> problems;
    EXPECT_EQ(checkArchiveTree(archiveDirectory("", {archiveFile(std::string(33, 'N'), ""),
                                                     archiveFile("a", ""), archiveFile("A", ""),
                                                     archiveFileFromDisk("B", dir.file("nope"))}),
                               &problems),
              0);
    ASSERT_EQ(problems.size(), 3u) << testing::PrintToString(problems);
    EXPECT_NE(problems[0].find("longer than 32 bytes"), std::string::npos) << problems[0];
    EXPECT_NE(problems[1].find("differ only in letter case"), std::string::npos) << problems[1];
    EXPECT_NE(problems[2].find("cannot read"), std::string::npos) << problems[2];
    // The archive that was there is untouched and nothing is left beside it.
    EXPECT_EQ(readFileBytes(target), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(filesIn(dir.path()), (Names{"old.dir", "sparse.src"}));

    // Case duplicates can be written on purpose; the loader keeps the first.
    ArchiveWriteOptions options;
    options.allowCaseDuplicates = true;
    ArchiveNode duplicates =
        archiveDirectory("", {archiveFile("Intro.bin", "first"), archiveFile("INTRO.BIN", "x")});
    ASSERT_EQ(writeArchiveFile(duplicates, target, nullptr, options), 1);
    LoadedArchive loaded(target);
    EXPECT_EQ(LoadedArchive::names(&loaded.root), Names{"Intro.bin"});
}

TEST(Writer, ReplacesAnExistingArchiveAndFailsCleanlyWhereItCannotWrite) {
    TempDir dir;
    const std::string target = dir.write("a.dir", {1, 2, 3});
    ArchiveNode tree = archiveDirectory("", {archiveFile("A", "a")});
    ASSERT_EQ(writeArchiveFile(tree, target, nullptr), 1);
    EXPECT_EQ(readFileBytes(target), archiveBytes(tree));
    EXPECT_EQ(filesIn(dir.path()), Names{"a.dir"});

    std::string error;
    EXPECT_EQ(writeArchiveFile(tree, dir.file("missing/a.dir"), &error), 0);
    EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
}

TEST(Writer, DeepTreesNeedNoDeepStack) {
    ArchiveNode root = archiveDirectory("");
    ArchiveNode* directory = &root;
    for (int depth = 0; depth < 10000; ++depth) {
        directory->children.push_back(archiveDirectory("D"));
        directory = &directory->children.back();
    }
    directory->children.push_back(archiveFile("LEAF", "leaf"));
    TempDir dir;
    LoadedArchive loaded(writeArchive(dir, root));
    const Entry* entry = &loaded.root;
    int depth = 0;
    while (!entry->children.empty() && entry->children.back()->kind == KIND_SUBDIR) {
        entry = entry->children.back();
        ++depth;
    }
    EXPECT_EQ(depth, 10000);
    EXPECT_EQ(LoadedArchive::names(entry), (Names{"...", "LEAF"}));
    // The nested nodes are freed one by one to spare the stack here too.
    while (!root.children.empty()) {
        ArchiveNode inner = std::move(root.children.back());
        root.children = std::move(inner.children);
    }
}

}  // namespace

namespace {

TEST(Writer, LargeFilesStartOnAPageBoundary) {
    TempDir dir;
    std::string large(70000, 'L');
    large[0] = 'F';
    const std::string path = writeArchive(
        dir, archiveDirectory("", {archiveFile("A.TXT", "small"), archiveFile("B.BIN", large),
                                   archiveFile("C.TXT", "tail")}));
    const std::vector<uint8_t> bytes = readFileBytes(path);
    LoadedArchive loaded(path);
    const Entry* small = LoadedArchive::child(&loaded.root, "A.TXT");
    const Entry* big = LoadedArchive::child(&loaded.root, "B.BIN");
    const Entry* tail = LoadedArchive::child(&loaded.root, "C.TXT");
    ASSERT_TRUE(small && big && tail);
    EXPECT_EQ(small->info->offset, 4 * DIR_RECORD_SIZE);  // small files are packed
    EXPECT_EQ(big->info->offset % 4096, 0u);
    EXPECT_EQ(tail->info->offset, big->info->offset + large.size());
    EXPECT_EQ(contentsAt(bytes, small), "small");
    EXPECT_EQ(contentsAt(bytes, big), large);
    EXPECT_EQ(contentsAt(bytes, tail), "tail");

    // A file that fits without its padding is never refused for it. The root
    // listing (3 records) and "x" end at 133; "BIG" then fills the archive up
    // to the last byte the 32-bit fields reach.
    const std::string sparse = dir.file("sparse.src");
    for (uint64_t extra : {0, 1}) {
        const uint64_t size = ARCHIVE_SIZE_LIMIT - 133 + extra;
        writeFile(sparse, "");
        std::filesystem::resize_file(sparse, size);
        std::vector<std::string> problems;
        uint64_t total = 0;
        const int fits = checkArchiveTree(
            archiveDirectory("", {archiveFile("X", "x"), archiveFileFromDisk("BIG", sparse)}),
            &problems, &total);
        EXPECT_EQ(fits, extra == 0 ? 1 : 0) << testing::PrintToString(problems);
        EXPECT_EQ(total, extra == 0 ? ARCHIVE_SIZE_LIMIT : 0);
    }
}

}  // namespace
