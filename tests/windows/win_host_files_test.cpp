// The folders --create packs, on Windows: names beyond the ANSI code page,
// kinds, one identity for one file however it is named, long paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/host_files.h"
#include "win_scratch.h"

namespace {

TEST(WinHostFiles, ListsNamesAndTellsKindsApart) {
    WinScratch dir;
    dir.write("\xCE\xB1.TXT", "abc");  // a Greek alpha: no ANSI form
    CreateDirectoryW(systemPath(dir.file("SUB")).c_str(), nullptr);
    std::vector<std::string> names;
    ASSERT_EQ(listHostDirectory(dir.file(""), &names), 1);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"SUB", "\xCE\xB1.TXT"}));
    EXPECT_EQ(listHostDirectory(dir.file("MISSING"), &names), 0);

    struct Case {
        std::string path;
        int found;
        HostFileKind kind;
        uint64_t size;
    };
    const Case cases[] = {
        {dir.file("\xCE\xB1.TXT"), 1, HOST_FILE, 3},
        {dir.file("SUB"), 1, HOST_DIRECTORY, 0},
        {dir.file("MISSING"), 0, HOST_OTHER, 0},
    };
    for (const Case& c : cases) {
        HostFileInfo info;
        std::string why;
        EXPECT_EQ(inspectHostPath(c.path, true, &info, &why), c.found) << c.path;
        if (c.found == 0) {
            EXPECT_FALSE(why.empty()) << c.path;
            continue;
        }
        EXPECT_EQ(info.kind, c.kind) << c.path;
        EXPECT_EQ(info.size, c.size) << c.path;
    }
}

TEST(WinHostFiles, OneFileHasOneIdentityWhateverItsPathLooksLike) {
    WinScratch dir;
    dir.write("A.DIR", "x");
    dir.write("B.DIR", "x");
    HostFileInfo a, aAgain, b;
    ASSERT_EQ(inspectHostPath(dir.file("A.DIR"), false, &a), 1);
    ASSERT_EQ(inspectHostPath(dir.file("SUB/../a.dir"), true, &aAgain), 1);
    ASSERT_EQ(inspectHostPath(dir.file("B.DIR"), false, &b), 1);
    EXPECT_EQ(a.volume, aAgain.volume);
    EXPECT_EQ(a.file, aAgain.file);
    EXPECT_FALSE(a.volume == b.volume && a.file == b.file);
}

TEST(WinHostFiles, PathsPastTheClassicLimitWork) {
    WinScratch dir;
    std::string path = dir.file("");
    for (int i = 0; i < 6; ++i) {
        path += std::string(50, char('A' + i));
        CreateDirectoryW(systemPath(path).c_str(), nullptr);
        path += "\\";
    }
    ASSERT_GT(path.size(), 300u);
    std::vector<std::string> names;
    EXPECT_EQ(listHostDirectory(path, &names), 1);
    HostFileInfo info;
    ASSERT_EQ(inspectHostPath(path.substr(0, path.size() - 1), false, &info), 1);
    EXPECT_EQ(info.kind, HOST_DIRECTORY);
}

TEST(WinHostFiles, BothSlashesSeparate) {
    EXPECT_TRUE(isHostPathSeparator('/'));
    EXPECT_TRUE(isHostPathSeparator('\\'));
    EXPECT_FALSE(isHostPathSeparator(':'));
}

}  // namespace
