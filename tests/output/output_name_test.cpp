#include "output/output_name.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

struct NameCase {
    std::string stored;
    std::string onDisk;
};

class OutputPathTest : public testing::TestWithParam<NameCase> {};

TEST_P(OutputPathTest, MapsStoredNameToConfinedUtf8Path) {
    EXPECT_EQ(outputPathFor(GetParam().stored), GetParam().onDisk)
        << "stored: " << GetParam().stored;
}

INSTANTIATE_TEST_SUITE_P(
    Names, OutputPathTest,
    testing::Values(NameCase{"README.TXT", "README.TXT"},
                    // '\' (and a '/' the loader missed) separate directories on disk.
                    NameCase{"DATA\\MAP.BIN", "DATA/MAP.BIN"},
                    NameCase{"DATA/MAP.BIN", "DATA/MAP.BIN"}, NameCase{"A\\B\\C\\D.X", "A/B/C/D.X"},
                    // Characters a file name cannot hold become '_'; a drive part is harmless.
                    NameCase{"WHAT?.TXT", "WHAT_.TXT"}, NameCase{"A/B:C*.TXT", "A/B_C_.TXT"},
                    NameCase{"C:\\X.BIN", "C_/X.BIN"},
                    // Nothing leaves the base directory.
                    NameCase{"\\ETC\\PASSWD", "ETC/PASSWD"}, NameCase{"\\\\HOST\\X", "HOST/X"},
                    NameCase{"..\\..\\ETC\\PASSWD", "__/__/ETC/PASSWD"},
                    NameCase{"A\\..\\B", "A/__/B"}, NameCase{"..", "__"}, NameCase{"A\\..", "A/__"},
                    NameCase{"A\\\\B", "A/B"}, NameCase{".", "_"}, NameCase{"A\\.\\B", "A/_/B"},
                    // Only a whole ".." component is dangerous.
                    NameCase{"...", "..."}, NameCase{"..X", "..X"}, NameCase{"X..", "X.."},
                    // Code page 437 bytes are written as the glyphs the screen shows.
                    NameCase{"\x8E"
                             "BER.TXT",
                             "ÄBER.TXT"},
                    NameCase{"\x01.BIN", "☺.BIN"}, NameCase{"DIR\x81\\F\x94.X", "DIRü/Fö.X"},
                    // Nothing left of the name.
                    NameCase{"", ""}, NameCase{"\\", ""}, NameCase{"\\\\", ""},
                    // A stored name ends at its first NUL.
                    NameCase{std::string("A\0\\..\\..", 8), "A"}));

TEST(OutputPathParts, SplitsDirectoryAndLeaf) {
    EXPECT_EQ(outputDirectoryOf("DATA/SUB/MAP.BIN"), "DATA/SUB");
    EXPECT_EQ(outputLeafOf("DATA/SUB/MAP.BIN"), "MAP.BIN");
    EXPECT_EQ(outputDirectoryOf("MAP.BIN"), "");
    EXPECT_EQ(outputLeafOf("MAP.BIN"), "MAP.BIN");
    EXPECT_EQ(outputLeafOf(""), "");
}

}  // namespace

namespace {

// Every name built from the troublesome characters, up to six long, must give
// a path that stays below the base: relative, with no empty or ".." component.
TEST(OutputPathProperty, NoNameEscapesTheBase) {
    const std::string alphabet = ".\\/A:";
    std::string name;
    std::function<void(size_t)> visit = [&](size_t length) {
        std::string path = outputPathFor(name);
        std::string context = "stored: " + name + " path: " + path;
        ASSERT_TRUE(path.empty() || path.front() != '/') << context;
        size_t start = 0;
        while (!path.empty() && start <= path.size()) {
            size_t end = path.find('/', start);
            if (end == std::string::npos)
                end = path.size();
            std::string component = path.substr(start, end - start);
            ASSERT_FALSE(component.empty() || component == ".." || component == ".") << context;
            start = end + 1;
        }
        if (length == 6)
            return;
        for (char c : alphabet) {
            name.push_back(c);
            visit(length + 1);
            name.pop_back();
        }
    };
    visit(0);
}

}  // namespace
