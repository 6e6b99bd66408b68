// --verify on sound and damaged archives.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "archive/writer.h"
#include "cli/verify_mode.h"
#include "output/output_name.h"
#include "support/archive_fixture.h"

namespace {

VerifyReport verifyBytes(const std::vector<uint8_t>& bytes) {
    TempDir dir;
    return verifyArchive(dir.write("verify.dir", bytes));
}

std::vector<std::string> findingsOf(const std::vector<uint8_t>& bytes) {
    VerifyReport report = verifyBytes(bytes);
    std::vector<std::string> lines;
    for (const VerifyFinding& finding : report.findings)
        lines.push_back(finding.path + ": " + finding.text);
    return lines;
}

// An archive of one listing holding one record.
std::vector<uint8_t> oneRecord(const std::string& name, uint32_t type, uint32_t size,
                               uint32_t offset) {
    std::vector<uint8_t> bytes;
    appendRecord(bytes, name, type, size, offset);
    appendEnd(bytes);
    return bytes;
}

TEST(Verify, WriterOutputHasNoFindings) {
    auto bytes = archiveBytes(archiveDirectory(
        "", {archiveDirectory("MAPS", {archiveFile("A.MAP", std::string(100, 'a'))}),
             archiveFile("B.TXT", "b"), archiveFile("EMPTY", "")}));
    VerifyReport report = verifyBytes(bytes);
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
    cases.push_back({"data past the end", oneRecord("A.BIN", TYPE_FILE, 10, 5000),
                     "A.BIN: its data (10 bytes at 0x00001388) runs past the end of the "
                     "archive"});
    cases.push_back({"cycle", oneRecord("LOOP", TYPE_DIRECTORY, 0, 0),
                     "LOOP: leads back into the listing at 0x00000000, which encloses it (a "
                     "cycle)"});
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
    cases.push_back({"confinement", oneRecord("../X.TXT", TYPE_FILE, 0, 0),
                     "../X.TXT: would be extracted as '__/X.TXT'"});
    cases.push_back({"overlap", oneRecord("OVER.BIN", TYPE_FILE, 8, 40),
                     "OVER.BIN: its data overlaps the listing at 0x00000000 of '/'"});
    cases.push_back({"listing past the end", oneRecord("SUB", TYPE_DIRECTORY, 0, 9000),
                     "SUB: its listing at 0x00002328 lies past the end of the archive"});
    {
        std::vector<uint8_t> b;
        appendRecord(b, "A.TXT", TYPE_FILE, 0, 0);
        cases.push_back(
            {"cut short", b, "/: its listing is cut short at 0x0000002c (no end record)"});
    }
    for (uint32_t size : {20u, 21u}) {
        // SUB's listing starts at 200: data up to 200 only touches it.
        std::vector<uint8_t> b;
        appendRecord(b, "SUB", TYPE_DIRECTORY, 0, 200);
        appendRecord(b, "A.BIN", TYPE_FILE, size, 180);
        appendEnd(b);
        b.resize(200);
        appendEnd(b);
        cases.push_back(
            {size == 20 ? "data ending where a listing starts" : "one byte over", b,
             size == 20 ? "" : "A.BIN: its data overlaps the listing at 0x000000c8 of 'SUB'"});
    }
    {
        // INNER's listing starts one byte into F2's record and ends at once
        // (the bytes it takes for a type field are no file or directory type),
        // well before the root listing it lies in.
        std::vector<uint8_t> b;
        appendRecord(b, "INNER", TYPE_DIRECTORY, 0, 2 * R + 1);
        appendRecord(b, "F1", TYPE_FILE);
        appendRecord(b, "F2", TYPE_FILE);
        appendRecord(b, "F3", TYPE_FILE);
        appendRecord(b, "DATA.BIN", TYPE_FILE, 4, 4 * R + 2);
        appendEnd(b);
        cases.push_back({"listing inside a listing", b,
                         "DATA.BIN: its data overlaps the listing at 0x00000000 of '/'"});
    }
    cases.push_back({"only a dot", oneRecord(".", TYPE_FILE, 0, 0),
                     ".: is only '.', the directory itself on disk: it would be extracted "
                     "as '" +
                         outputPathFor(".") + "'"});
    {
        std::vector<uint8_t> b;
        appendRecord(b, "...", TYPE_DIRECTORY, 0, 2 * R);
        appendEnd(b);
        appendRecord(b, "...", TYPE_FILE, 0, 0);
        appendEnd(b);
        cases.push_back({"a record named like the way back", b,
                         ".../...: is dropped: the same name as '.../...' ignoring letter case"});
    }
    {
        // A listing that two directories share, itself holding a directory:
        // its contents are reported once, for the first directory only.
        std::vector<uint8_t> b;
        appendRecord(b, "ONE", TYPE_DIRECTORY, 0, 3 * R);
        appendRecord(b, "TWO", TYPE_DIRECTORY, 0, 3 * R);
        appendEnd(b);
        appendRecord(b, "SUB", TYPE_DIRECTORY, 0, 5 * R);
        appendEnd(b);
        appendEnd(b);
        cases.push_back({"shared listing holding a directory", b,
                         "TWO: shares its listing at 0x00000084 with 'ONE'"});
    }
    {
        // A directory record named like a file leads into the file; what it
        // brings there is counted, nested directories and all.
        std::vector<uint8_t> b;
        appendRecord(b, "DATA", TYPE_FILE);
        appendRecord(b, "data", TYPE_DIRECTORY, 0, 3 * R);
        appendEnd(b);
        appendRecord(b, "Q", TYPE_FILE);
        appendRecord(b, "INNER", TYPE_DIRECTORY, 0, 6 * R);
        appendEnd(b);
        appendRecord(b, "DEEP", TYPE_FILE);
        appendEnd(b);
        cases.push_back({"a file holding entries", b,
                         "data: is dropped: the same name as 'DATA' ignoring letter case\n"
                         "DATA: is a file, yet a directory record of its name put 3 entries "
                         "below it: they are neither listed nor extracted"});
    }
    for (const Case& c : cases) {
        std::string findings;
        for (const std::string& finding : findingsOf(c.bytes))
            findings += (findings.empty() ? "" : "\n") + finding;
        EXPECT_EQ(findings, c.expected) << c.what;
    }
}

TEST(Verify, ListingsSharedWithoutEndAreWalkedOnce) {
    // 200 directory records all pointing at the root listing: bounded work.
    std::vector<uint8_t> b;
    for (int i = 0; i < 200; ++i) appendRecord(b, "D" + std::to_string(i), TYPE_DIRECTORY, 0, 0);
    appendEnd(b);
    VerifyReport report = verifyBytes(b);
    EXPECT_EQ(report.findings.size(), 200u);
    EXPECT_EQ(report.listings, 1u);
}

TEST(Verify, EntriesThatExtractionWouldWriteToOnePathAreListed) {
    const uint32_t R = DIR_RECORD_SIZE;
    std::vector<uint8_t> b;
    appendRecord(b, "DATA", TYPE_DIRECTORY, 0, 7 * R);
    appendRecord(b, "C_D", TYPE_DIRECTORY, 0, 9 * R);
    appendRecord(b, "A?B", TYPE_FILE);
    appendRecord(b, "A_B", TYPE_FILE);
    appendRecord(b, "C?D", TYPE_FILE);
    appendRecord(b, "DATA/X", TYPE_FILE);
    appendEnd(b);
    appendRecord(b, "X", TYPE_FILE);
    appendEnd(b);
    appendRecord(b, "Y", TYPE_FILE);
    appendEnd(b);
    std::vector<std::string> collisions;
    for (const std::string& line : findingsOf(b)) {
        if (line.find("where") != std::string::npos)
            collisions.push_back(line);
    }
    // A?B meets a file, C?D a directory; the names that needed no change keep them.
    EXPECT_EQ(collisions,
              (std::vector<std::string>{
                  "A?B: would be extracted to 'A_B', where 'A_B' goes too; it is written as "
                  "'A_B~2'",
                  "C?D: would be extracted to 'C_D', where 'C_D' goes too; it is written as "
                  "'C_D~2'",
                  "DATA/X: would be extracted to 'DATA/X', where 'DATA/X' goes too; it is "
                  "written as 'DATA/X~2'",
              }));
}

TEST(Verify, SummaryCountsInWordsAndNoArchiveIsSaidToBeNone) {
    TempDir dir;
    std::vector<uint8_t> one;
    appendRecord(one, "A.BIN", TYPE_FILE, 10, 5000);
    appendEnd(one);
    std::ostringstream out, err;
    EXPECT_EQ(verifyMode(dir.write("one.dir", one), out, err), 1);
    EXPECT_EQ(out.str(),
              "A.BIN: its data (10 bytes at 0x00001388) runs past the end of the archive\n"
              "1 finding in 1 file, 0 directories, 1 listing (88 bytes)\n");
    EXPECT_EQ(err.str(), "");

    std::vector<uint8_t> end;
    appendEnd(end);
    for (const auto& [name, bytes] :
         {std::pair<std::string, std::vector<uint8_t>>{"empty.dir", {}}, {"end.dir", end}}) {
        std::ostringstream none, why;
        const std::string path = dir.write(name, bytes);
        EXPECT_EQ(verifyMode(path, none, why), 1) << name;
        EXPECT_EQ(none.str(), "") << name;
        EXPECT_EQ(why.str(), "dirrip: '" + path +
                                 "' is not a DIR archive: its first listing holds no entry\n");
    }
}

TEST(Verify, FifoIsRefusedAtOnce) {
    TempDir dir;
    const std::string path = dir.file("fifo.dir");
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    std::ostringstream out, err;
    EXPECT_EQ(verifyMode(path, out, err), 1);
    EXPECT_NE(err.str().find("cannot open"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("not a regular file"), std::string::npos) << err.str();
}

}  // namespace
