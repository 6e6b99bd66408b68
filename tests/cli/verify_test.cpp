// --verify on sound and damaged archives.
#include <gtest/gtest.h>

#include "archive/writer.h"
#include "cli/verify_mode.h"
#include "support/archive_fixture.h"

namespace {

std::vector<std::string> findingsOf(const std::vector<uint8_t>& bytes) {
    VerifyReport report = verifyArchiveBytes(bytes.data(), bytes.size());
    std::vector<std::string> lines;
    for (const VerifyFinding& finding : report.findings)
        lines.push_back(finding.path + ": " + finding.text);
    return lines;
}

TEST(Verify, WriterOutputHasNoFindings) {
    auto bytes = archiveBytes(archiveDirectory(
        "", {archiveDirectory("MAPS", {archiveFile("A.MAP", std::string(100, 'a'))}),
             archiveFile("B.TXT", "b"), archiveFile("EMPTY", "")}));
    VerifyReport report = verifyArchiveBytes(bytes.data(), bytes.size());
    EXPECT_TRUE(report.findings.empty()) << report.findings[0].text;
    EXPECT_EQ(report.files, 3u);
    EXPECT_EQ(report.directories, 1u);
    EXPECT_EQ(report.listings, 2u);
}

TEST(Verify, ReportsEachKindOfDamage) {
    const uint32_t R = DIR_RECORD_SIZE;
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        std::string expected;
    };
    std::vector<Case> cases;
    {
        std::vector<uint8_t> b;
        appendRecord(b, "A.BIN", TYPE_FILE, 10, 5000);
        appendEnd(b);
        cases.push_back({"data past the end", b,
                         "A.BIN: its data (10 bytes at 0x00001388) runs past the end of the "
                         "archive"});
    }
    {
        std::vector<uint8_t> b;
        appendRecord(b, "LOOP", TYPE_DIRECTORY, 0, 0);
        appendEnd(b);
        cases.push_back({"cycle", b,
                         "LOOP: leads back into the listing at 0x00000000, which encloses it (a "
                         "cycle)"});
    }
    {
        std::vector<uint8_t> b;
        appendRecord(b, "ONE", TYPE_DIRECTORY, 0, 3 * R);
        appendRecord(b, "TWO", TYPE_DIRECTORY, 0, 3 * R);
        appendEnd(b);
        appendEnd(b);
        cases.push_back({"shared listing", b, "TWO: shares its listing at 0x00000084 with 'ONE'"});
    }
    {
        std::vector<uint8_t> b;
        appendRecord(b, "Intro.bin", TYPE_FILE, 0, 0);
        appendRecord(b, "INTRO.BIN", TYPE_FILE, 0, 0);
        appendEnd(b);
        cases.push_back({"duplicate", b,
                         "INTRO.BIN: is dropped: the same name as 'Intro.bin' ignoring letter "
                         "case"});
    }
    {
        std::vector<uint8_t> b;
        appendRecord(b, "../X.TXT", TYPE_FILE, 0, 0);
        appendEnd(b);
        cases.push_back({"confinement", b, "../X.TXT: would be extracted as '__/X.TXT'"});
    }
    {
        std::vector<uint8_t> b;
        appendRecord(b, "OVER.BIN", TYPE_FILE, 8, 40);
        appendEnd(b);
        cases.push_back(
            {"overlap", b, "OVER.BIN: its data overlaps the listing at 0x00000000 of '/'"});
    }
    {
        std::vector<uint8_t> b;
        appendRecord(b, "SUB", TYPE_DIRECTORY, 0, 9000);
        appendEnd(b);
        cases.push_back({"listing past the end", b,
                         "SUB: its listing at 0x00002328 lies past the end of the archive"});
    }
    {
        std::vector<uint8_t> b;
        appendRecord(b, "A.TXT", TYPE_FILE, 0, 0);
        cases.push_back(
            {"cut short", b, "/: its listing is cut short at 0x0000002c (no end record)"});
    }
    for (const Case& c : cases) {
        auto findings = findingsOf(c.bytes);
        ASSERT_EQ(findings.size(), 1u) << c.what << ": " << testing::PrintToString(findings);
        EXPECT_EQ(findings[0], c.expected) << c.what;
    }
}

TEST(Verify, ListingsSharedWithoutEndAreWalkedOnce) {
    // 200 directory records all pointing at the root listing: bounded work.
    std::vector<uint8_t> b;
    for (int i = 0; i < 200; ++i) appendRecord(b, "D" + std::to_string(i), TYPE_DIRECTORY, 0, 0);
    appendEnd(b);
    VerifyReport report = verifyArchiveBytes(b.data(), b.size());
    EXPECT_EQ(report.findings.size(), 200u);
    EXPECT_EQ(report.listings, 1u);
}

}  // namespace
