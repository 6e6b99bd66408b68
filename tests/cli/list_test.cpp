// --list with patterns; --list --json: a valid document whatever the names and the path hold.
#include <gtest/gtest.h>

#include <sstream>

#include <nlohmann/json.hpp>

#include "cli/list_mode.h"
#include "cli_support.h"
#include "support/archive_fixture.h"
#include "text/utf8.h"

namespace {

TEST(ListJson, ValidUtf8WithEveryControlCharacterEscaped) {
    TempDir temp;
    // The archive's own file name holds DEL; the stored names hold control
    // bytes, quotes, backslashes (stored '/') and code page 437 letters.
    const std::string archive = writeArchive(
        temp,
        archiveDirectory("", {archiveFile("DEL\x7F\x1B\"Q\".TXT", "x"),
                              archiveDirectory("CAF\x90", {archiveFile("A/B\x82", "yy")})}),
        "arc\x7Fhive.dir");
    ModeRun run = runDirrip({"--list", archive, "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    for (size_t at = 0; at < run.out.size();) {
        char32_t codePoint = 0;
        const size_t length = decodeUtf8(run.out, at, &codePoint);
        ASSERT_GT(length, 0u) << "invalid UTF-8 at " << at;
        EXPECT_TRUE(codePoint == '\n' ||
                    !(codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F)))
            << "raw control character at " << at;
        at += length;
    }
    const nlohmann::json document = nlohmann::json::parse(run.out);
    EXPECT_EQ(document["archive"], archive);
    ASSERT_EQ(document["entries"].size(), 3u);
    EXPECT_EQ(document["entries"][0]["path"], "CAFÉ");
    EXPECT_EQ(document["entries"][1]["path"], "CAFÉ/A/Bé");
    EXPECT_EQ(document["entries"][2]["path"], "DEL\x7F\x1B\"Q\".TXT");
    EXPECT_EQ(document["totals"]["bytes"], 3);
}

TEST(ListMode, PatternsChooseEntriesAsExtractDoes) {
    TempDir dir;
    std::string archive = writeArchive(
        dir,
        archiveDirectory(
            "", {archiveDirectory("MAPS", {archiveFile("E1.MAP", "m"), archiveFile("A.TXT", "tt"),
                                           archiveDirectory("X", {archiveFile("Y", "y")})}),
                 archiveFile("B.TXT", "bbb"), archiveFile("MAPS.TXT/C", "c")}));
    struct Case {
        std::vector<std::string> patterns;
        std::string listed;     // the paths, one a line
        std::string unmatched;  // the patterns said to match nothing, one a line
    } cases[] = {
        {{}, "MAPS/\nMAPS/X/\nMAPS/X/Y\nMAPS/A.TXT\nMAPS/E1.MAP\nB.TXT\nMAPS.TXT/C\n", ""},
        {{"*.txt"}, "MAPS/A.TXT\nB.TXT\n", ""},
        {{"maps/*"}, "MAPS/X/\nMAPS/X/Y\nMAPS/A.TXT\nMAPS/E1.MAP\n", ""},
        // A directory named selects everything below it, however it is written.
        {{"MAPS", "b.*"}, "MAPS/\nMAPS/X/\nMAPS/X/Y\nMAPS/A.TXT\nMAPS/E1.MAP\nB.TXT\n", ""},
        {{"maps/x/"}, "MAPS/X/\nMAPS/X/Y\n", ""},
        {{"\\MAPS\\X"}, "MAPS/X/\nMAPS/X/Y\n", ""},
        {{"maps\\a.txt"}, "MAPS/A.TXT\n", ""},
        {{"MAPS.TXT\\C"}, "MAPS.TXT/C\n", ""},  // a name holding the archive's separator
        {{"/"}, "MAPS/\nMAPS/X/\nMAPS/X/Y\nMAPS/A.TXT\nMAPS/E1.MAP\nB.TXT\nMAPS.TXT/C\n", ""},
        // Inside a set the backslash escapes: the set below holds ']' and 'M'.
        {{"[\\]M]APS"}, "MAPS/\nMAPS/X/\nMAPS/X/Y\nMAPS/A.TXT\nMAPS/E1.MAP\n", ""},
        // A trailing separator asks for directories only.
        {{"B.TXT/", "*.WAV", "y"}, "MAPS/X/Y\n", "B.TXT/\n*.WAV\n"},
    };
    for (const Case& c : cases) {
        std::ostringstream out, err;
        const int status = listMode(archive, LIST_TEXT, out, err, c.patterns);
        std::istringstream lines(out.str());
        std::string line, paths;
        while (std::getline(lines, line)) paths += line.substr(line.rfind(' ') + 1) + "\n";
        EXPECT_EQ(paths, c.listed) << testing::PrintToString(c.patterns);
        std::string said;
        std::istringstream errLines(err.str());
        while (std::getline(errLines, line)) {
            const size_t quote = line.find('\'', 9);  // after "dirrip: '"
            said += line.substr(9, quote - 9) + "\n";
            EXPECT_EQ(line.substr(quote), "' matches nothing in '" + archive + "'");
        }
        EXPECT_EQ(said, c.unmatched) << testing::PrintToString(c.patterns);
        EXPECT_EQ(status, c.unmatched.empty() ? 0 : 1) << testing::PrintToString(c.patterns);
    }
    std::ostringstream out, err;
    EXPECT_EQ(listMode(archive, LIST_JSON, out, err, {"*.TXT"}), 0);
    EXPECT_NE(out.str().find("\"bytes\": 5"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("\"files\": 2"), std::string::npos) << out.str();
}

TEST(ListMode, WhatTheLoadMendedIsSaidInOneLine) {
    TempDir temp;
    const uint32_t R = DIR_RECORD_SIZE;
    std::vector<uint8_t> duplicate;
    appendRecord(duplicate, "A", TYPE_FILE);
    appendRecord(duplicate, "a", TYPE_FILE);
    appendEnd(duplicate);
    // A cycle, a listing past the end and a listing without its end record.
    std::vector<uint8_t> three;
    appendRecord(three, "LOOP", TYPE_DIRECTORY, 0, 0);
    appendRecord(three, "GONE", TYPE_DIRECTORY, 0, 99 * R);
    appendRecord(three, "CUT", TYPE_DIRECTORY, 0, 4 * R);
    appendEnd(three);
    appendRecord(three, "F", TYPE_FILE);
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        std::string note;
    } cases[] = {
        {"sound", archiveBytes(archiveDirectory("", {archiveFile("A", "a")})), ""},
        {"a duplicate", duplicate, "dirrip: 1 record dropped or mended; --verify shows it\n"},
        {"three mends", three, "dirrip: 3 records dropped or mended; --verify shows them\n"},
    };
    for (const Case& c : cases) {
        const std::string archive = temp.write("a.dir", c.bytes);
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"--list", archive},
              std::vector<std::string>{"-x", archive, "-C", temp.file("out")}}) {
            ModeRun run = runDirrip(args);
            EXPECT_EQ(run.status, 0) << c.what << " " << args[0];
            EXPECT_EQ(run.err, c.note) << c.what << " " << args[0];
        }
    }
    // A load stopped at the cap is refused, with the figures: 30 listings of
    // two directory records each leading to the next would make 2^30 directories.
    std::vector<uint8_t> bomb;
    for (uint32_t level = 1; level <= 30; ++level) {
        appendRecord(bomb, "L", TYPE_DIRECTORY, 0, 3 * level * R);
        appendRecord(bomb, "R", TYPE_DIRECTORY, 0, 3 * level * R);
        appendEnd(bomb);
    }
    appendRecord(bomb, "LEAF", TYPE_FILE);
    appendEnd(bomb);
    ModeRun capped = runDirrip({"--list", temp.write("bomb.dir", bomb)});
    EXPECT_EQ(capped.status, 1);
    EXPECT_NE(capped.err.find("' holds too many entries: the load stopped after 1048668 records, "
                              "the most an archive of 4048 bytes may hold (one per 44 bytes and "
                              "1048576 more, 16777216 at most)\n"),
              std::string::npos)
        << capped.err;
    EXPECT_EQ(capped.out, "");
}

TEST(ListNames, ControlBytesNeverReachTheTerminal) {
    TempDir temp;
    std::string archive =
        writeArchive(temp, archiveDirectory("", {archiveFile("ESC\x1b[2J\x8e.TXT", "x")}), "a.dir");
    ModeRun text = runDirrip({"--list", archive});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out.find('\x1b'), std::string::npos);
    EXPECT_NE(text.out.find("ESC\\x1B[2JÄ.TXT"), std::string::npos) << text.out;
    ModeRun json = runDirrip({"--list", archive, "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(json.out.find('\x1b'), std::string::npos);
    EXPECT_NE(json.out.find("ESC\\u001b[2JÄ.TXT"), std::string::npos) << json.out;
}

}  // namespace
