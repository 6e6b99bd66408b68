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

// The rows hold under either rule for root prefixes; OutputRootPrefixes
// below has the rows where the two differ.
TEST_P(OutputPathTest, MapsStoredNameToConfinedUtf8Path) {
    for (RootPrefixes prefixes : {ROOT_PREFIXES_SANITIZED, ROOT_PREFIXES_DROPPED})
        EXPECT_EQ(outputPathFor(GetParam().stored, prefixes), GetParam().onDisk)
            << "stored: " << GetParam().stored << ", prefixes " << prefixes;
}

INSTANTIATE_TEST_SUITE_P(
    Names, OutputPathTest,
    testing::Values(NameCase{"README.TXT", "README.TXT"},
                    // '\' (and a '/' the loader missed) separate directories on disk.
                    NameCase{"DATA\\MAP.BIN", "DATA/MAP.BIN"},
                    NameCase{"DATA/MAP.BIN", "DATA/MAP.BIN"}, NameCase{"A\\B\\C\\D.X", "A/B/C/D.X"},
                    // Characters a file name cannot hold become '_'.
                    NameCase{"WHAT?.TXT", "WHAT_.TXT"}, NameCase{"A/B:C*.TXT", "A/B_C_.TXT"},
                    NameCase{"c:X.BIN", "c_X.BIN"}, NameCase{"B:C", "B_C"},
                    // Nothing leaves the base directory: leading separators go.
                    NameCase{"\\ETC\\PASSWD", "ETC/PASSWD"}, NameCase{"\\\\HOST\\X", "HOST/X"},
                    NameCase{"A\\C:\\X", "A/C_/X"},
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

// A drive root or a device prefix leads out of the base directory only where
// paths have such roots (Windows): there it is dropped like a leading
// separator; elsewhere it is sanitized like the rest of the name.
TEST(OutputRootPrefixes, DroppedWherePathsHaveRootsAndSanitizedElsewhere) {
    const struct {
        const char* stored;
        const char* dropped;
        const char* sanitized;
    } rows[] = {
        {"C:\\X.BIN", "X.BIN", "C_/X.BIN"},
        {"z:/X.BIN", "X.BIN", "z_/X.BIN"},
        {"\\\\?\\C:\\X", "X", "_/C_/X"},
        {"\\\\.\\PIPE\\P", "PIPE/P", "_/PIPE/P"},
        {"//?/unc/HOST/SHARE/F", "HOST/SHARE/F", "_/unc/HOST/SHARE/F"},
        {"C:\\..\\X", "__/X", "C_/__/X"},
        // A drive without its root is a name with a colon.
        {"B:C", "B_C", "B_C"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(outputPathFor(row.stored, ROOT_PREFIXES_DROPPED), row.dropped) << row.stored;
        EXPECT_EQ(outputPathFor(row.stored, ROOT_PREFIXES_SANITIZED), row.sanitized) << row.stored;
    }
}

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
