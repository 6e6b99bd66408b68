// The demo archive that `make run` opens must show what it is meant to show.
#include <gtest/gtest.h>

#include <string>

#include "archive/entry.h"
#include "support/archive_fixture.h"

namespace {

TEST(DemoArchive, HoldsPagingALargeFileAndASeparatorName) {
    LoadedArchive demo(std::string(DIRRIP_BUILD_DIR) + "/demo.dir");
    ASSERT_EQ(demo.result, 1);
    const Entry* sounds = findFirst(&demo.root, "SOUNDS");
    ASSERT_NE(sounds, nullptr);
    EXPECT_GT(sounds->children.size(), 60u);
    const Entry* movies = findFirst(&demo.root, "MOVIES");
    ASSERT_NE(movies, nullptr);
    ASSERT_NE(findFirst(movies, "INTRO.ANI"), nullptr);
    EXPECT_GT(findFirst(movies, "INTRO.ANI")->size, 1024u * 1024u);
    EXPECT_NE(LoadedArchive::child(&demo.root, "DATA\\CONFIG.CFG"), nullptr);
    EXPECT_NE(findFirst(&demo.root, "README.TXT"), nullptr);
    const Entry* sprites = findFirst(findFirst(&demo.root, "GFX"), "SPRITES");
    ASSERT_NE(sprites, nullptr);
    EXPECT_EQ(findFirst(sprites, "BLANK.SPR")->size, 0u);
}

}  // namespace
