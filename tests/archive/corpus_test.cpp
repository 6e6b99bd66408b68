// Every input of the loader's fuzz corpus, including each one that once
// failed, must load into a consistent tree.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "archive/tree_check.h"
#include "support/archive_fixture.h"

namespace {

constexpr uint32_t CORPUS_RECORD_CAP = 4096;  // as the fuzz target uses

TEST(LoaderCorpus, EveryInputLoadsIntoAConsistentTree) {
    const std::filesystem::path corpus =
        std::filesystem::path(DIRRIP_SOURCE_DIR) / "fuzz" / "corpus" / "loader";
    size_t inputs = 0;
    for (const auto& item : std::filesystem::directory_iterator(corpus)) {
        if (!item.is_regular_file() || item.path().filename().string()[0] == '.')
            continue;
        ++inputs;
        LoadedArchive loaded(item.path().string(), CORPUS_RECORD_CAP);
        EXPECT_EQ(loaded.result, 1) << item.path();
        std::string fault;
        EXPECT_TRUE(treeIsConsistent(&loaded.root, &fault)) << item.path() << ": " << fault;
    }
    EXPECT_GE(inputs, 5u);
}

TEST(LoaderCorpus, ConsistencyCheckFindsFaults) {
    TempDir dir;
    LoadedArchive loaded(writeArchive(
        dir, archiveDirectory(
                 "", {archiveFile("A", ""), archiveDirectory("D", {archiveFile("X", "")})})));
    std::string fault;
    ASSERT_TRUE(treeIsConsistent(&loaded.root, &fault)) << fault;
    std::swap(loaded.root.children[0], loaded.root.children[1]);
    EXPECT_FALSE(treeIsConsistent(&loaded.root, &fault));
    EXPECT_NE(fault.find("out of order"), std::string::npos) << fault;
    std::swap(loaded.root.children[0], loaded.root.children[1]);
    loaded.root.children[1]->name = "d";
    EXPECT_FALSE(treeIsConsistent(&loaded.root, &fault));
    EXPECT_NE(fault.find("twice"), std::string::npos) << fault;
    loaded.root.children[1]->name = "A";
    Entry* directory = loaded.root.children[0];
    directory->children[1]->parent = &loaded.root;
    EXPECT_FALSE(treeIsConsistent(&loaded.root, &fault));
    EXPECT_NE(fault.find("wrong parent"), std::string::npos) << fault;
    directory->children[1]->parent = directory;
}

}  // namespace
