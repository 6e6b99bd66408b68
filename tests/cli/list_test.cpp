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
            "", {archiveDirectory("MAPS", {archiveFile("E1.MAP", "m"), archiveFile("A.TXT", "tt")}),
                 archiveFile("B.TXT", "bbb")}));
    struct Case {
        std::vector<std::string> patterns;
        std::string listed;  // the paths, one a line
    } cases[] = {
        {{}, "MAPS/\nMAPS/A.TXT\nMAPS/E1.MAP\nB.TXT\n"},
        {{"*.txt"}, "MAPS/A.TXT\nB.TXT\n"},
        {{"maps/*"}, "MAPS/A.TXT\nMAPS/E1.MAP\n"},
        {{"MAPS", "b.*"}, "MAPS/\nB.TXT\n"},
        {{"*.WAV"}, ""},
    };
    for (const Case& c : cases) {
        std::ostringstream out, err;
        EXPECT_EQ(listMode(archive, LIST_TEXT, out, err, c.patterns), 0);
        std::istringstream lines(out.str());
        std::string line, paths;
        while (std::getline(lines, line)) paths += line.substr(line.rfind(' ') + 1) + "\n";
        EXPECT_EQ(paths, c.listed) << testing::PrintToString(c.patterns);
    }
    std::ostringstream out, err;
    EXPECT_EQ(listMode(archive, LIST_JSON, out, err, {"*.TXT"}), 0);
    EXPECT_NE(out.str().find("\"bytes\": 5"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("\"files\": 2"), std::string::npos) << out.str();
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
