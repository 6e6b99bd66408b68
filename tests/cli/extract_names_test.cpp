// --extract on an archive full of names that meet on disk: every entry's
// bytes arrive under the name the run's plan gives it, and no two entries
// share a file. On Windows the same test meets the names Windows makes equal.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "archive/walk.h"
#include "archive/writer.h"
#include "cli_support.h"
#include "output/output_plan.h"
#include "support/archive_fixture.h"

namespace fs = std::filesystem;

namespace {

// A file whose data is its own archive path, so that every file's bytes say
// which entry they belong to.
ArchiveNode file(const std::string& directory, const std::string& name) {
    std::string path = directory.empty() ? name : directory + "/" + name;
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return archiveFile(name, path);
}

fs::path onDisk(const std::string& utf8) {
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string contentsOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ExtractNames, EveryEntryArrivesUnderThePlannedName) {
    TempDir temp;
    ArchiveNode tree = archiveDirectory(
        "",
        {// Names that sanitizing makes one, and one that is a numbered name already.
         file("", "A*B"), file("", "A?B"), file("", "A_B"), file("", "A_B~2"),
         // Names that Windows makes one: devices, trailing dots and spaces, letters
         // beyond ASCII that differ only in case (code page 437 bytes).
         file("", "CON"), file("", "_CON"), file("", "NUL.TXT"), file("", "_nul.txt"),
         file("", "A."), file("", "A "), file("", "A_"), file("", "\x8E.TXT"), file("", "\x84.TXT"),
         file("", "\x90"), file("", "\x82"),
         // Directories against directories (they merge) and against files.
         archiveDirectory("D?R", {file("D?R", "X"), file("D?R", "Y")}),
         archiveDirectory("D_R", {file("D_R", "X")}), file("", "D*R"), file("", "D_R\\Y"),
         file("", "F"), file("", "F\\G"), archiveDirectory("\x84", {file("\x84", "X")}),
         archiveDirectory("\x8E", {file("\x8E", "X"), file("\x8E", "\x94")}),
         // An empty directory where a file wants the name.
         archiveDirectory("EMPTY?"), file("", "EMPTY_")});
    const std::string archive = writeArchive(temp, tree, "meet.dir");
    const std::string out = temp.file("out");

    ModeRun run = runDirrip({"-x", archive, "-C", out});
    ASSERT_EQ(run.status, 0) << run.err;

    LoadedArchive loaded(archive);
    const std::vector<const Entry*> entries = extractionEntries(&loaded.root);
    const OutputPlan plan = planOutput(&loaded.root, entries);
    const std::vector<std::string> paths = planOutputPaths(&loaded.root, entries);
    size_t files = 0, bytes = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i]->kind != KIND_FILE)
            continue;
        ++files;
        bytes += entries[i]->size;
        EXPECT_EQ(contentsOf(onDisk(out + "/" + paths[i])), archivePathOf(entries[i]))
            << "planned as " << paths[i];
    }
    size_t onDiskFiles = 0;
    for (const auto& item : fs::recursive_directory_iterator(onDisk(out)))
        onDiskFiles += item.is_regular_file();
    EXPECT_EQ(onDiskFiles, files);
    EXPECT_EQ(run.out, std::to_string(files) + " files, " + std::to_string(bytes) + " bytes\n");
    // Each numbered name is noted, once.
    size_t notes = 0;
    for (size_t at = run.err.find(" written as "); at != std::string::npos;
         at = run.err.find(" written as ", at + 1))
        ++notes;
    EXPECT_EQ(notes, plan.numbered.size());
    EXPECT_GE(notes, 7u);
}

}  // namespace
