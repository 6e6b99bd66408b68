#include "output/confine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <filesystem>

#include "output/rip.h"
#include "scratch_dir.h"

namespace fs = std::filesystem;

namespace {

using namespace output_test;

class ConfinedDirectoryTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(temp.path().empty());
        fs::create_directory(temp / "base");
        fs::create_directory(temp / "outside");
        baseFd = open((temp / "base").c_str(), O_RDONLY | O_DIRECTORY);
        ASSERT_GE(baseFd, 0);
    }
    void TearDown() override { close(baseFd); }

    // Opens `relative` below the base; returns whether it worked and fills `failed`.
    bool openBelow(const std::string& relative, std::string* failed) {
        int fd = openConfinedDirectory(baseFd, relative, failed);
        if (fd < 0)
            return false;
        close(fd);
        return true;
    }

    ScratchDir temp;
    int baseFd = -1;
};

TEST_F(ConfinedDirectoryTest, CreatesMissingChainAndReusesExisting) {
    std::string failed = "unchanged";
    ASSERT_TRUE(openBelow("A/B/C", &failed));
    EXPECT_TRUE(fs::is_directory(temp / "base/A/B/C"));
    fs::create_directory(temp / "base/A/B/C/KEEP");
    ASSERT_TRUE(openBelow("A/B/C", &failed));
    EXPECT_TRUE(fs::is_directory(temp / "base/A/B/C/KEEP"));
    EXPECT_EQ(failed, "unchanged");
}

TEST_F(ConfinedDirectoryTest, EmptyPathGivesTheBaseItself) {
    int fd = openConfinedDirectory(baseFd, "", nullptr);
    ASSERT_GE(fd, 0);
    struct stat viaFd, viaPath;
    ASSERT_EQ(fstat(fd, &viaFd), 0);
    ASSERT_EQ(stat((temp / "base").c_str(), &viaPath), 0);
    EXPECT_EQ(viaFd.st_ino, viaPath.st_ino);
    close(fd);
}

TEST_F(ConfinedDirectoryTest, DescriptorPointsAtTheCreatedDirectory) {
    int fd = openConfinedDirectory(baseFd, "X/Y", nullptr);
    ASSERT_GE(fd, 0);
    int file = openat(fd, "probe", O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(file, 0);
    close(file);
    close(fd);
    EXPECT_TRUE(fs::exists(temp / "base/X/Y/probe"));
}

TEST_F(ConfinedDirectoryTest, NeverFollowsSymbolicLinks) {
    fs::create_directory_symlink(temp / "outside", temp / "base/LINK");
    fs::create_directory(temp / "base/REAL");
    fs::create_directory_symlink(temp / "outside", temp / "base/REAL/DEEP");
    fs::create_directory_symlink("..", temp / "base/UP");

    struct Case {
        const char* path;
        const char* failed;
    } cases[] = {
        {"LINK", "LINK"}, {"LINK/SUB", "LINK"}, {"REAL/DEEP/X", "REAL/DEEP"}, {"UP/x", "UP"}};
    for (const Case& c : cases) {
        std::string failed;
        EXPECT_FALSE(openBelow(c.path, &failed)) << c.path;
        EXPECT_EQ(failed, c.failed) << c.path;
    }
    EXPECT_TRUE(fs::is_empty(temp / "outside"));
}

TEST_F(ConfinedDirectoryTest, RefusesParentComponentsAndFilesInTheWay) {
    writeFile(temp / "base/PLAIN", "data");
    std::string failed;
    EXPECT_FALSE(openBelow("PLAIN/SUB", &failed));
    EXPECT_EQ(failed, "PLAIN");
    EXPECT_FALSE(openBelow("A/../../outside", &failed));
    EXPECT_EQ(failed, "A/..");
    EXPECT_TRUE(fs::is_empty(temp / "outside"));
}

TEST_F(ConfinedDirectoryTest, SkipsEmptyAndDotComponents) {
    ASSERT_TRUE(openBelow("/A//./B/", nullptr));
    EXPECT_TRUE(fs::is_directory(temp / "base/A/B"));
}

TEST(MakeDirectories, CreatesChainsWithEitherSeparator) {
    ScratchDir temp;
    ChangeDirectory here(temp.path());
    EXPECT_EQ(makeDirectories("ONE\\TWO/THREE"), 0);
    EXPECT_TRUE(fs::is_directory(temp / "ONE/TWO/THREE"));
    EXPECT_EQ(makeDirectories("ONE\\TWO"), 0);
    writeFile(temp / "FILE", "x");
    EXPECT_NE(makeDirectories("FILE\\SUB"), 0);
    EXPECT_EQ(makeDirectories((temp / "ABS/DIR").c_str()), 0);
    EXPECT_TRUE(fs::is_directory(temp / "ABS/DIR"));
}

}  // namespace
