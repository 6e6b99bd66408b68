#include "browser/list_action.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "browser/mainloop.h"
#include "browser/state.h"
#include "browser_fixture.h"
#include "output/scratch_dir.h"

namespace {

using namespace output_test;

// Notes row 24 of the frame on screen each time a key is read.
struct RecordingConsole : MemoryConsole {
    KeyCode readKey() override {
        rowsAtKey.push_back(row(24));
        colourAtKey.push_back(rowAttributes(24)[0]);
        return MemoryConsole::readKey();
    }
    std::vector<std::string> rowsAtKey;
    std::vector<uint8_t> colourAtKey;
};

class ListActionTest : public BrowserScreenTest {
  protected:
    ScratchDir temp;
};

TEST_F(ListActionTest, WaitMessageShowsTheNameWhole) {
    add(root, "F", KIND_FILE, 1, 0);
    browser.archivePath = "A~B.DIR";
    ChangeDirectory here(temp.path());
    makeFullListAction();
    // The '~' of the name neither vanishes nor switches the colour.
    EXPECT_EQ(cells(24, 0, 40), "Making filelist 'A~B.lst'. Please wait..");
    EXPECT_EQ(runs(24, 0, 80), "87x17 8Fx7 87x56");
    EXPECT_TRUE(browser.notice.empty());
    EXPECT_TRUE(std::filesystem::exists(temp / "A~B.lst"));
}

TEST_F(ListActionTest, AListThatCannotBeWrittenIsNamedUntilTheNextKey) {
    add(root, "F", KIND_FILE, 1, 0);
    browser.archivePath = "X.DIR";
    ChangeDirectory here(temp.path());
    std::filesystem::create_directory(temp / "X.lst");  // the name is taken
    RecordingConsole recording;
    setConsoleBackend(&recording);
    recording.pushKeys({KEY_F3, KEY_DOWN});
    // Pass one reads F3; pass two shows the notice and reads Down; pass three
    // shows the hint line again and, with no key left, ends the run.
    runMainLoop();
    ASSERT_EQ(recording.rowsAtKey.size(), 3u);
    const std::string notice = "Unable write filelist 'X.lst': a directory is in the way";
    EXPECT_EQ(recording.rowsAtKey[1], notice + std::string(80 - notice.size(), ' '));
    EXPECT_EQ(recording.colourAtKey[1], ATTR_ALERT);
    EXPECT_EQ(recording.colourAtKey[2], ATTR_BOX);
    EXPECT_EQ(browser.terminationReason, REASON_NO_TERMINAL);
    EXPECT_TRUE(std::filesystem::is_empty(temp / "X.lst"));
}

}  // namespace
