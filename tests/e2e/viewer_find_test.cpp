// The keys beyond the panels' table, end to end in tmux: F4 (viewer),
// Alt-F7 (find by name) and Shift-F1 (the second help box).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "e2e/browser_in_tmux.h"

namespace {

using AddedKeys = BrowserInTmux;

TEST_F(AddedKeys, F4ViewsTextAndHexAndGivesThePanelsBack) {
    std::string text;
    for (int i = 0; i < 100; ++i) text += "line " + std::to_string(i) + "\r\n";
    writeArchive(
        dir, archiveDirectory("", {archiveDirectory("DOCS", {}), archiveFile("NOTES.TXT", text)}),
        "game.dir");
    start("game.dir");
    session->sendKeys("Down");
    ASSERT_TRUE(rowShows(0, "2 file from 2")) << session->dump();
    std::string panels = session->screen();
    session->sendKeys("F4");
    ASSERT_TRUE(rowShows(0, "NOTES.TXT")) << session->dump();
    ASSERT_TRUE(rowShows(0, "text  22%")) << session->dump();
    ASSERT_TRUE(rowShows(1, "line 0")) << session->dump();
    ASSERT_TRUE(rowShows(24, "f4: text/hex")) << session->dump();
    session->sendKeys("End");
    ASSERT_TRUE(rowShows(23, "line 99")) << session->dump();
    ASSERT_TRUE(rowShows(0, "100%")) << session->dump();
    session->sendKeys("F4");
    ASSERT_TRUE(rowShows(0, "hex")) << session->dump();
    ASSERT_TRUE(rowShows(1, "6C 69 6E 65")) << session->dump();  // "line" at the same place
    session->sendKeys("Home");
    ASSERT_TRUE(rowShows(1, "00000000  6C 69 6E 65 20 30 0D 0A")) << session->dump();
    session->sendKeys("F10");
    ASSERT_TRUE(session->waitUntil([&](const std::string& screen) { return screen == panels; }))
        << session->dump();
    quit();
}

TEST_F(AddedKeys, F4OpensAndEndsAFourGigabyteEntryAtOnce) {
    // A 4 GB entry in a sparse file: nothing of it is read but what is shown.
    std::vector<uint8_t> bytes;
    appendRecord(bytes, "HUGE.BIN", TYPE_FILE, 0xFFFFFFFFu, 4096);
    appendEnd(bytes);
    std::string path = dir.write("huge.dir", bytes);
    std::filesystem::resize_file(path, 4096 + 0xFFFFFFFFull);
    start("huge.dir");
    session->sendKeys("F4");
    ASSERT_TRUE(rowShows(0, "4294967295 bytes  hex    0%", 2000)) << session->dump();
    session->sendKeys("End");
    ASSERT_TRUE(rowShows(0, "100%", 2000)) << session->dump();
    ASSERT_TRUE(rowShows(23, "FFFFFFF0  00 00 00 00")) << session->dump();
    session->sendKeys("F4", "Up");
    ASSERT_TRUE(rowShows(0, "text", 2000)) << session->dump();
    session->sendKeys("Escape");
    ASSERT_TRUE(rowShows(0, "file from")) << session->dump();
    quit();
}

TEST_F(AddedKeys, AltF7FindsByMaskAndEnterShowsTheEntry) {
    std::vector<ArchiveNode> sounds;
    for (int i = 0; i < 50; ++i)
        sounds.push_back(archiveFile("S" + std::to_string(100 + i) + ".WAV", "x"));
    sounds.push_back(archiveFile("ZBOOM.VOC", "boom"));
    writeArchive(
        dir,
        archiveDirectory("", {archiveDirectory("SOUNDS", sounds), archiveFile("ZBOOM.TXT", "t")}),
        "game.dir");
    start("game.dir");
    session->sendKeys("M-F7");
    ASSERT_TRUE(rowShows(11, "find by name")) << session->dump();
    session->sendText("zboom.*");
    session->sendKeys("Enter");
    ASSERT_TRUE(rowShows(2, "2 found for zboom.*")) << session->dump();
    ASSERT_TRUE(rowShows(3, "SOUNDS\\ZBOOM.VOC")) << session->dump();
    ASSERT_TRUE(rowShows(4, "ZBOOM.TXT")) << session->dump();
    session->sendKeys("Enter");
    // ZBOOM.VOC is the 52nd child of SOUNDS ("..." first): the window ends on it.
    ASSERT_TRUE(rowShows(0, "   52 file from 52")) << session->dump();
    ASSERT_TRUE(rowShows(22, "ZBOOM    VOC")) << session->dump();
    ASSERT_TRUE(rowShows(2, "Entry")) << session->dump();
    // Esc closes the list without moving.
    session->sendKeys("M-F7", "Enter");
    ASSERT_TRUE(rowShows(2, "2 found")) << session->dump();
    session->sendKeys("Escape");
    ASSERT_TRUE(rowShows(2, "Entry")) << session->dump();
    ASSERT_TRUE(rowShows(0, "   52 file from 52")) << session->dump();
    quit();
}

TEST_F(AddedKeys, HelpBoxesStayUntilEscAndShiftF1ShowsTheSecond) {
    writeArchive(dir, archiveDirectory("", {archiveFile("A.TXT", "a")}), "game.dir");
    start("game.dir");
    session->sendKeys("F1");
    ASSERT_TRUE(rowShows(4, "Keyboard Commands")) << session->dump();
    // F1 again, Enter, Ctrl-L and Shift-F1 do nothing there; the box stays.
    session->sendKeys("F1", "Enter", "C-l", "S-F1");
    EXPECT_FALSE(session->waitFor("More Commands", 500)) << session->dump();
    EXPECT_TRUE(rowShows(4, "Keyboard Commands")) << session->dump();
    session->sendKeys("Escape");
    ASSERT_TRUE(session->waitForGone("Keyboard Commands")) << session->dump();
    EXPECT_EQ(session->screen().find("More Commands"), std::string::npos) << session->dump();
    EXPECT_EQ(session->screen().find("Info"), std::string::npos) << session->dump();
    ASSERT_TRUE(rowShows(24, "esc (twice): exit")) << session->dump();

    session->sendKeys("S-F1");
    ASSERT_TRUE(rowShows(3, "More Commands")) << session->dump();
    ASSERT_TRUE(rowShows(6, "alt-f7    - find entries by name")) << session->dump();
    session->sendKeys("F1", "Enter");
    session->sendKeys("Escape");
    ASSERT_TRUE(session->waitForGone("More Commands")) << session->dump();
    EXPECT_EQ(session->screen().find("Keyboard Commands"), std::string::npos) << session->dump();
    quit();
}

}  // namespace
