#include "output/copy_out.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <cerrno>
#include <filesystem>
#include <vector>

#include "output/output_run.h"
#include "scratch_dir.h"
#include "support/test_tree.h"

namespace fs = std::filesystem;

namespace {

using namespace output_test;

// Files and directories in `directory` other than "." and "..", hidden ones included.
size_t entriesIn(const std::string& directory) {
    return size_t(std::distance(fs::directory_iterator(directory), fs::directory_iterator()));
}

class CopyTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(temp.path().empty());
        archive = patternBytes(100000, 1);
        writeFile(temp / "archive.dir", archive);
        ASSERT_EQ(file.open((temp / "archive.dir").c_str()), 1);
        int error = 0;
        ASSERT_EQ(beginOutputRun(&run, (temp / "out").c_str(), true, &error), 1);
    }
    void TearDown() override {
        copyIo = savedIo;
        endOutputRun(&run);
    }

    CopyResult copy(uint64_t offset, uint64_t size, const std::string& path = "FILE.BIN",
                    bool inKernel = false) {
        CopyOptions options;
        options.inKernel = inKernel;
        return copyWith(options, offset, size, path);
    }
    CopyResult copyWith(CopyOptions options, uint64_t offset, uint64_t size,
                        const std::string& path = "FILE.BIN") {
        progress.clear();
        Entry* entry = tree.file(tree.root(), "X" + std::to_string(++copies), uint32_t(size),
                                 uint32_t(offset));
        options.buffer = buffer;
        options.progress = [this](uint64_t done, uint64_t) { progress.push_back(done); };
        return copyEntryOut(&run, file, entry, path, options);
    }
    static uint64_t noRoom(OutputDirectory) { return 10; }

    ScratchDir temp;
    std::string archive;
    ArchiveFile file;
    OutputRun run;
    TestTree tree{"A.DIR"};
    int copies = 0;
    unsigned char buffer[RIP_BLOCK_SIZE];
    std::vector<uint64_t> progress;
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
        {500, 49152, {0, 16384, 32768}},
        {99999, 1, {0}},
        {100000, 0, {}},      // an empty file at the very end of the archive
        {0xFFFFFFF0, 0, {}},  // an empty file reads nothing, wherever it points
    };
    for (const Case& c : cases) {
        ASSERT_EQ(copy(c.offset, c.size).status, COPY_DONE) << c.size;
        EXPECT_EQ(progress, c.progress) << c.size;
        EXPECT_EQ(readFile(temp / "out/FILE.BIN"),
                  archive.substr(std::min<uint64_t>(c.offset, 100000), c.size));
    }
    EXPECT_EQ(entriesIn(temp / "out"), 1u);  // no temporary file left beside it
}

TEST_F(CopyTest, ReplacesTheFileInPlaceOfWritingThroughIt) {
    // A hard link to a file outside the output directory must not be written through.
    writeFile(temp / "outside", std::string(50000, 'x'));
    ASSERT_EQ(link((temp / "outside").c_str(), (temp / "out/FILE.BIN").c_str()), 0);
    ASSERT_EQ(copy(40, 10).status, COPY_DONE);
    EXPECT_EQ(readFile(temp / "out/FILE.BIN"), archive.substr(40, 10));
    EXPECT_EQ(readFile(temp / "outside"), std::string(50000, 'x'));
}

TEST_F(CopyTest, DataPastTheArchiveEndFailsWithoutTouchingOutput) {
    writeFile(temp / "out/FILE.BIN", "earlier rip");
    struct Case {
        uint64_t offset;
        uint64_t size;
    } cases[] = {{99990, 11}, {0xFFFFFFF0ull, 100}, {1, 100000}};
    for (const Case& c : cases) {
        EXPECT_EQ(copy(c.offset, c.size).status, COPY_READ_FAILED) << c.offset;
        EXPECT_EQ(readFile(temp / "out/FILE.BIN"), "earlier rip");
        EXPECT_TRUE(progress.empty());
    }
}

TEST_F(CopyTest, RefusalsComeBeforeAnyDirectoryIsMade) {
    EXPECT_EQ(copy(99990, 11, "CUT/FILE.BIN").status, COPY_READ_FAILED);
    copyIo.freeSpace = noRoom;
    EXPECT_EQ(copy(0, 11, "FULL/DEEPER/FILE.BIN").status, COPY_NO_ROOM);
    EXPECT_EQ(copy(0, 10, "FITS/FILE.BIN").status, COPY_DONE);  // equal is enough
    EXPECT_EQ(entriesIn(temp / "out"), 1u);
    // A file that --keep leaves alone needs no room.
    CopyOptions keep;
    keep.keepExisting = true;
    EXPECT_EQ(copyWith(keep, 0, 5000, "FITS/FILE.BIN").status, COPY_KEPT);
}

TEST_F(CopyTest, AReplacedFileKeepsItsBitsAndAReadOnlyOneIsRefused) {
    struct Case {
        unsigned mode;
        CopyStatus status;
    } cases[] = {
        {0640, COPY_DONE},          {0620, COPY_DONE},          {0751, COPY_DONE},
        {0444, COPY_CREATE_FAILED}, {0500, COPY_CREATE_FAILED},
    };
    for (const Case& c : cases) {
        const std::string name = "M" + std::to_string(c.mode);
        writeFile(temp / ("out/" + name), "earlier");
        ASSERT_EQ(chmod((temp / ("out/" + name)).c_str(), c.mode), 0);
        CopyResult result = copy(10, 20, name);
        EXPECT_EQ(result.status, c.status) << name;
        struct stat status;
        ASSERT_EQ(stat((temp / ("out/" + name)).c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, c.mode) << name;
        if (c.status == COPY_DONE) {
            EXPECT_EQ(readFile(temp / ("out/" + name)), archive.substr(10, 20)) << name;
        } else {
            EXPECT_EQ(outputErrorText(result.error), "a read-only file is in the way");
            EXPECT_TRUE(progress.empty()) << "refused before a byte is copied";
            EXPECT_EQ(readFile(temp / ("out/" + name)), "earlier") << name;
        }
    }
    EXPECT_EQ(entriesIn(temp / "out"), std::size(cases));
}

TEST_F(CopyTest, AFileMadeReadOnlyDuringTheCopyIsStillRefused) {
    writeFile(temp / "out/LATE", "earlier");
    OutputFile output;
    int error = 0;
    ASSERT_EQ(createOutputFile(run.base, "LATE", &output, &error), 1);
    ASSERT_EQ(writeOutputFile(&output, "new", 3, &error), 1);
    ASSERT_EQ(chmod((temp / "out/LATE").c_str(), 0444), 0);
    EXPECT_EQ(commitOutputFile(&output, "LATE", &error), 0);
    EXPECT_EQ(error, OUTPUT_ERROR_READ_ONLY);
    EXPECT_EQ(readFile(temp / "out/LATE"), "earlier");
    EXPECT_EQ(entriesIn(temp / "out"), 1u);
}

TEST_F(CopyTest, KernelStepsOfAPercentMoveTheProgressAndCanBeCancelled) {
    CopyOptions options;
    options.inKernel = true;
    options.stepByPercent = true;
    ASSERT_EQ(copyWith(options, 123, 20000).status, COPY_DONE);
    EXPECT_EQ(progress, (std::vector<uint64_t>{0, 16384}));  // whole blocks at least
    ASSERT_EQ(copyWith(options, 0, 99999).status, COPY_DONE);
    EXPECT_EQ(progress, (std::vector<uint64_t>{0, 16384, 32768, 49152, 65536, 81920, 98304}));
    EXPECT_EQ(readFile(temp / "out/FILE.BIN"), archive.substr(0, 99999));

    // Stopped midway, in the kernel or through the buffer: the file at the
    // name stays as it was and no temporary is left.
    for (bool inKernel : {true, false}) {
        options.inKernel = inKernel;
        options.cancel = [](uint64_t done) { return done >= 30000; };
        EXPECT_EQ(copyWith(options, 7, 90000).status, COPY_CANCELLED) << inKernel;
        EXPECT_EQ(progress.back(), 32768u) << inKernel;
        EXPECT_EQ(readFile(temp / "out/FILE.BIN"), archive.substr(0, 99999)) << inKernel;
        EXPECT_EQ(entriesIn(temp / "out"), 1u) << inKernel;
    }
}

TEST_F(CopyTest, FailuresMidwayLeaveNeitherTheFileNorItsTemporary) {
    writeFile(temp / "out/FILE.BIN", "earlier rip");
    copyIo.readAt = [](const ArchiveFile& archive, uint64_t offset, void* data, size_t count) {
        // The second block comes short, as from an archive cut while read.
        return offset > 0 ? int64_t(100) : archive.readAt(offset, data, count);
    };
    CopyResult result = copy(0, 40000);
    EXPECT_EQ(result.status, COPY_READ_FAILED);
    copyIo = savedIo;
    copyIo.write = [](OutputFile*, const void*, size_t, int* error) {
        *error = ENOSPC;
        return 0;
    };
    result = copy(0, 40000);
    EXPECT_EQ(result.status, COPY_WRITE_FAILED);
    EXPECT_EQ(outputErrorText(result.error), "no space left on the device");
    // The earlier file of that name is untouched, and nothing else is there.
    EXPECT_EQ(readFile(temp / "out/FILE.BIN"), "earlier rip");
    EXPECT_EQ(entriesIn(temp / "out"), 1u);
}

TEST_F(CopyTest, WhatStandsInTheWayIsRefusedAndNamed) {
    fs::create_directory(temp / "out/ADIR");
    fs::create_symlink(temp / "victim", temp / "out/LINK");
    fs::create_directory(temp / "elsewhere");
    fs::create_directory_symlink(temp / "elsewhere", temp / "out/LINKDIR");
    writeFile(temp / "out/PLAIN", "a file");
    ASSERT_EQ(mkfifo((temp / "out/FIFO").c_str(), 0644), 0);
    struct Case {
        std::string path;
        CopyStatus status;
        std::string cause;
    } cases[] = {
        {"ADIR", COPY_CREATE_FAILED, "a directory is in the way"},
        {"LINK", COPY_CREATE_FAILED, "a symbolic link is in the way"},
        {"FIFO", COPY_CREATE_FAILED, "a special file (FIFO, device or socket) is in the way"},
        {"LINKDIR/X", COPY_MKDIR_FAILED, "a symbolic link is in the way"},
        {"PLAIN/X", COPY_MKDIR_FAILED, "a file is in the way"},
    };
    for (const Case& c : cases) {
        CopyResult result = copy(0, 10, c.path);
        EXPECT_EQ(result.status, c.status) << c.path;
        EXPECT_EQ(outputErrorText(result.error), c.cause) << c.path;
    }
    EXPECT_FALSE(fs::exists(temp / "victim"));
    EXPECT_TRUE(fs::is_empty(temp / "elsewhere"));
    EXPECT_EQ(readFile(temp / "out/PLAIN"), "a file");
}

TEST_F(CopyTest, KernelCopyFallsBackToTheBuffer) {
    static int calls;
    calls = 0;
    copyIo.copyRange = [](OutputFile* out, intptr_t in, uint64_t offset, size_t count, int* error) {
        // The kernel copies part of the file, then cannot go on.
        return ++calls > 1
                   ? int64_t(0)
                   : copyIntoOutputFile(out, in, offset, count < 5000 ? count : 5000, error);
    };
    ASSERT_EQ(copy(7, 70000, "FILE.BIN", true).status, COPY_DONE);
    EXPECT_EQ(readFile(temp / "out/FILE.BIN"), archive.substr(7, 70000));
    copyIo = savedIo;
    ASSERT_EQ(copy(10, 99990, "K.BIN", true).status, COPY_DONE);
    EXPECT_EQ(readFile(temp / "out/K.BIN"), archive.substr(10, 99990));
}

TEST(OutputDirectories, DeepWalkKeepsFewHandlesAndComesBack) {
    ScratchDir temp;
    OutputRun run;
    int error = 0;
    ASSERT_EQ(beginOutputRun(&run, temp.path().c_str(), false, &error), 1);
    std::string path;
    for (int level = 0; level < 300; ++level) {
        path += (path.empty() ? "D" : "/D");
        ASSERT_NE(enterOutputDirectory(&run, path, nullptr, &error), NO_OUTPUT_DIRECTORY) << level;
    }
    size_t open = 0;
    for (const auto& level : run.open) open += level.handle != NO_OUTPUT_DIRECTORY;
    EXPECT_LE(open, 300 / OUTPUT_CHECKPOINT + OUTPUT_CHECKPOINT + 1);
    // Back up the chain, as a walk does after the deepest directory: each
    // level's handle is the right directory again.
    for (size_t keep : {200u, 100u, 3u}) {
        std::string up = path.substr(0, keep * 2 - 1);
        OutputDirectory directory = enterOutputDirectory(&run, up, nullptr, &error);
        ASSERT_NE(directory, NO_OUTPUT_DIRECTORY) << keep;
        OutputFile probe;
        ASSERT_EQ(createOutputFile(directory, "P", &probe, &error), 1);
        ASSERT_EQ(commitOutputFile(&probe, "P", &error), 1);
        EXPECT_TRUE(fs::exists(temp / (up + "/P"))) << keep;
    }
    endOutputRun(&run);
}

}  // namespace
