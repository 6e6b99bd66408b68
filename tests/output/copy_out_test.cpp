#include "output/copy_out.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <filesystem>
#include <vector>

#include "output/free_space.h"
#include "scratch_dir.h"

namespace fs = std::filesystem;

namespace {

using namespace output_test;

class CopyTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(temp.path().empty());
        archive = patternBytes(100000, 1);
        writeFile(temp / "archive.dir", archive);
        fs::create_directory(temp / "out");
        archiveFd = open((temp / "archive.dir").c_str(), O_RDONLY);
        directoryFd = open((temp / "out").c_str(), O_RDONLY | O_DIRECTORY);
        ASSERT_GE(archiveFd, 0);
        ASSERT_GE(directoryFd, 0);
    }
    void TearDown() override {
        copyIo = savedIo;
        close(archiveFd);
        close(directoryFd);
    }

    CopyResult copy(uint64_t offset, uint64_t size, const char* leaf = "FILE.BIN") {
        progress.clear();
        return copyToNewFile(archiveFd, offset, size, directoryFd, leaf, buffer,
                             [this](uint64_t done, uint64_t total) {
                                 EXPECT_EQ(total, expectedTotal);
                                 progress.push_back(done);
                             });
    }

    ScratchDir temp;
    std::string archive;
    int archiveFd = -1;
    int directoryFd = -1;
    unsigned char buffer[RIP_BLOCK_SIZE];
    std::vector<uint64_t> progress;
    uint64_t expectedTotal = 0;
    CopyIo savedIo = copyIo;
};

TEST_F(CopyTest, CopiesExactBytesWithProgressBeforeEachBlock) {
    struct Case {
        uint64_t offset;
        uint64_t size;
        std::vector<uint64_t> progress;
    } cases[] = {
        {123, 20000, {0, 16384}},  // 00 % then 81 %
        {0, 16384, {0}},           // one whole block, no partial one
        {7, 16383, {0}},          {500, 49152, {0, 16384, 32768}},
        {99999, 1, {0}},          {100000, 0, {}},  // an empty file at the very end of the archive
    };
    for (const Case& c : cases) {
        expectedTotal = c.size;
        ASSERT_EQ(copy(c.offset, c.size), COPY_DONE) << c.size;
        EXPECT_EQ(progress, c.progress) << c.size;
        EXPECT_EQ(readFile(temp / "out/FILE.BIN"), archive.substr(c.offset, c.size)) << c.size;
    }
}

TEST_F(CopyTest, ReplacesLongerExistingFile) {
    writeFile(temp / "out/FILE.BIN", std::string(50000, 'x'));
    expectedTotal = 10;
    ASSERT_EQ(copy(40, 10), COPY_DONE);
    EXPECT_EQ(readFile(temp / "out/FILE.BIN"), archive.substr(40, 10));
}

TEST_F(CopyTest, DataPastTheArchiveEndFailsWithoutTouchingOutput) {
    writeFile(temp / "out/FILE.BIN", "earlier rip");
    struct Case {
        uint64_t offset;
        uint64_t size;
    } cases[] = {{99990, 11}, {100001, 0}, {0xFFFFFFF0ull, 100}, {1, 100000}};
    for (const Case& c : cases) {
        expectedTotal = c.size;
        EXPECT_EQ(copy(c.offset, c.size), COPY_READ_FAILED) << c.offset;
        EXPECT_EQ(readFile(temp / "out/FILE.BIN"), "earlier rip");
        EXPECT_TRUE(progress.empty());
    }
}

TEST_F(CopyTest, ReadFailureMidwayRemovesIncompleteFile) {
    static int calls;
    calls = 0;
    copyIo.readAt = [](int fd, void* data, size_t count, off_t offset) -> ssize_t {
        if (++calls == 2)
            return 100;  // a short read, then the end
        if (calls > 2)
            return 0;
        return pread(fd, data, count, offset);
    };
    expectedTotal = 40000;
    EXPECT_EQ(copy(0, 40000), COPY_READ_FAILED);
    EXPECT_FALSE(fs::exists(temp / "out/FILE.BIN"));

    copyIo.readAt = [](int, void*, size_t, off_t) -> ssize_t {
        errno = EIO;
        return -1;
    };
    expectedTotal = 10;
    EXPECT_EQ(copy(0, 10), COPY_READ_FAILED);
    EXPECT_FALSE(fs::exists(temp / "out/FILE.BIN"));
}

TEST_F(CopyTest, ShortReadsThatDeliverEverythingStillSucceed) {
    copyIo.readAt = [](int fd, void* data, size_t count, off_t offset) -> ssize_t {
        static bool interrupt = true;
        interrupt = !interrupt;
        if (interrupt) {
            errno = EINTR;
            return -1;
        }
        return pread(fd, data, count < 1000 ? count : 1000, offset);
    };
    expectedTotal = 20000;
    ASSERT_EQ(copy(10, 20000), COPY_DONE);
    EXPECT_EQ(readFile(temp / "out/FILE.BIN"), archive.substr(10, 20000));
}

TEST_F(CopyTest, WriteFailureRemovesIncompleteFile) {
    static int calls;
    for (int failing : {ENOSPC, EDQUOT, EIO}) {
        calls = 0;
        static int error;
        error = failing;
        copyIo.write = [](int fd, const void* data, size_t count) -> ssize_t {
            if (++calls < 3)
                return write(fd, data, count);
            errno = error;
            return -1;
        };
        expectedTotal = 60000;
        EXPECT_EQ(copy(0, 60000), COPY_WRITE_FAILED) << failing;
        EXPECT_FALSE(fs::exists(temp / "out/FILE.BIN"));
    }
}

TEST_F(CopyTest, CreateFailureIsReportedAsSuch) {
    fs::create_directory(temp / "out/ADIR");
    fs::create_symlink(temp / "victim", temp / "out/LINK");
    writeFile(temp / "victim", "keep");
    EXPECT_EQ(copy(0, 10, "ADIR"), COPY_CREATE_FAILED);
    EXPECT_TRUE(fs::is_directory(temp / "out/ADIR"));
    // A symbolic link at the output name is refused, not written through.
    EXPECT_EQ(copy(0, 10, "LINK"), COPY_CREATE_FAILED);
    EXPECT_EQ(readFile(temp / "victim"), "keep");
    // A FIFO without a reader must not stop the copy forever.
    ASSERT_EQ(mkfifo((temp / "out/FIFO").c_str(), 0644), 0);
    EXPECT_EQ(copy(0, 10, "FIFO"), COPY_CREATE_FAILED);
    EXPECT_TRUE(fs::is_fifo(temp / "out/FIFO"));
}

TEST(FreeSpace, SystemFigureAndUnknownDirectory) {
    EXPECT_GT(systemFreeSpace("."), 0u);
    EXPECT_EQ(systemFreeSpace("/no/such/directory/here"), UINT64_MAX);
}

}  // namespace

TEST_F(CopyTest, KernelCopyFallsBackToTheBufferAndStillTellsFailuresApart) {
    // The kernel copies part of the file, then stops (as on file systems that
    // cannot); the rest goes through the buffer.
    static int calls;
    calls = 0;
    copyIo.copyRange = [](int in, off_t* from, int out, size_t count) -> ssize_t {
        if (++calls > 1) {
            errno = EXDEV;
            return -1;
        }
        return copy_file_range(in, from, out, nullptr, count < 5000 ? count : 5000, 0);
    };
    expectedTotal = 70000;
    progress.clear();
    ASSERT_EQ(copyToNewFile(
                  archiveFd, 7, 70000, directoryFd, "FILE.BIN", buffer,
                  [this](uint64_t done, uint64_t) { progress.push_back(done); }, COPY_IN_KERNEL),
              COPY_DONE);
    EXPECT_EQ(readFile(temp / "out/FILE.BIN"), archive.substr(7, 70000));

    // A write that fails after the kernel gave up is still a write failure.
    copyIo.copyRange = [](int, off_t*, int, size_t) -> ssize_t {
        errno = EIO;
        return -1;
    };
    copyIo.write = [](int, const void*, size_t) -> ssize_t {
        errno = ENOSPC;
        return -1;
    };
    EXPECT_EQ(
        copyToNewFile(archiveFd, 0, 100, directoryFd, "FILE.BIN", buffer, nullptr, COPY_IN_KERNEL),
        COPY_WRITE_FAILED);
    EXPECT_FALSE(fs::exists(temp / "out/FILE.BIN"));
}

TEST_F(CopyTest, KernelCopyGivesExactBytes) {
    for (uint64_t size : {0ull, 1ull, 16384ull, 99990ull}) {
        ASSERT_EQ(copyToNewFile(archiveFd, 10, size, directoryFd, "K.BIN", buffer, nullptr,
                                COPY_IN_KERNEL),
                  COPY_DONE);
        EXPECT_EQ(readFile(temp / "out/K.BIN"), archive.substr(10, size)) << size;
    }
}
