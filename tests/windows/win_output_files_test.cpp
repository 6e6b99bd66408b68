// Output files on Windows: Windows names, links in the way, temporary files,
// long paths.
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <thread>

#include "platform/output_files.h"
#include "win_scratch.h"

namespace {

bool exists(const std::string& path) {
    return GetFileAttributesW(systemPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Writes `bytes` as `name` in `directory` the way ripping does.
bool writeFile(OutputDirectory directory, const char* name, const std::string& bytes) {
    OutputFile file;
    int error = 0;
    return createOutputFile(directory, name, &file, &error) == 1 &&
           writeOutputFile(&file, bytes.data(), bytes.size(), &error) == 1 &&
           commitOutputFile(&file, name, &error) == 1;
}

TEST(WinOutputFiles, DeviceNamesAndTrailingDotsBecomeOrdinaryFiles) {
    WinScratch dir;
    int error = 0;
    OutputDirectory base = openOutputDirectory(dir.file("out").c_str(), true, &error);
    ASSERT_NE(base, NO_OUTPUT_DIRECTORY) << outputErrorText(error);
    OutputDirectory con = openOutputSubdirectory(base, "con", &error);
    ASSERT_NE(con, NO_OUTPUT_DIRECTORY) << outputErrorText(error);
    for (const char* name : {"CON", "NUL.TXT", "A.", "B:C", "AUX"})
        EXPECT_TRUE(writeFile(con, name, "x")) << name;
    EXPECT_EQ(outputNameKind(con, "NUL.TXT"), OUTPUT_NAME_FILE);
    EXPECT_EQ(outputNameKind(con, "x"), OUTPUT_NAME_FREE);
    closeOutputDirectory(con);
    closeOutputDirectory(base);
    for (const char* name : {"_CON", "_NUL.TXT", "A_", "B_C", "_AUX"})
        EXPECT_TRUE(exists(dir.file("out\\_con\\") + name)) << name;
}

TEST(WinOutputFiles, TheFileAppearsOnlyWhenCommitted) {
    WinScratch dir;
    int error = 0;
    OutputDirectory base = openOutputDirectory(dir.file("").c_str(), false, &error);
    ASSERT_NE(base, NO_OUTPUT_DIRECTORY);
    dir.write("KEEP.BIN", "old contents");
    OutputFile file;
    ASSERT_EQ(createOutputFile(base, "KEEP.BIN", &file, &error), 1);
    ASSERT_EQ(writeOutputFile(&file, "new", 3, &error), 1);
    EXPECT_EQ(outputNameKind(base, "KEEP.BIN"), OUTPUT_NAME_FILE);
    std::string temporary = file.temporaryName;
    discardOutputFile(&file);
    EXPECT_FALSE(exists(dir.file(temporary)));

    ASSERT_TRUE(writeFile(base, "KEEP.BIN", "new"));
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExW(systemPath(dir.file("KEEP.BIN")).c_str(),
                                     GetFileExInfoStandard, &data));
    EXPECT_EQ(data.nFileSizeLow, 3u);
    EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN, 0u);
    EXPECT_NE(data.dwFileAttributes & FILE_ATTRIBUTE_ARCHIVE, 0u) << "the backup bit is kept";
    EXPECT_GT(outputFreeSpace(base), 0u);
    closeOutputDirectory(base);
}

TEST(WinOutputFiles, FreeSpaceOfADriveRoot) {
    wchar_t system[MAX_PATH + 1];
    ASSERT_NE(GetSystemDirectoryW(system, MAX_PATH + 1), 0u);
    const std::string root = wideToUtf8(std::wstring(system, 3));  // "C:\"
    int error = 0;
    OutputDirectory base = openOutputDirectory(root.c_str(), false, &error);
    ASSERT_NE(base, NO_OUTPUT_DIRECTORY) << root << ": " << outputErrorText(error);
    EXPECT_LT(outputFreeSpace(base), UINT64_MAX) << root;
    closeOutputDirectory(base);
}

// What a run leaves in the folder besides the names given.
bool onlyTheseAreThere(const WinScratch& dir, std::initializer_list<const char*> names) {
    size_t count = 0;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(systemPath(dir.file("*")).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names.size() == 0;
    do {
        std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            ++count;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    for (const char* name : names)
        if (!exists(dir.file(name)))
            return false;
    return count == names.size();
}

TEST(WinOutputFiles, AReadOnlyFileStaysAsItIs) {
    WinScratch dir;
    dir.write("KEPT.TXT", "the user's");
    std::wstring kept = systemPath(dir.file("KEPT.TXT"));
    ASSERT_TRUE(SetFileAttributesW(kept.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    int error = 0;
    OutputDirectory base = openOutputDirectory(dir.file("").c_str(), false, &error);
    ASSERT_NE(base, NO_OUTPUT_DIRECTORY);
    OutputFile file;
    ASSERT_EQ(createOutputFile(base, "KEPT.TXT", &file, &error), 1);
    ASSERT_EQ(writeOutputFile(&file, "new", 3, &error), 1);
    EXPECT_EQ(commitOutputFile(&file, "KEPT.TXT", &error), 0);
    EXPECT_EQ(outputErrorText(error), "a read-only file is in the way");
    closeOutputDirectory(base);
    std::ifstream in(std::filesystem::path(kept), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, "the user's");
    EXPECT_TRUE(onlyTheseAreThere(dir, {"KEPT.TXT"}));
}

// Opens `path` the way a virus scanner or an editor does: reading, without
// letting it be removed or renamed.
HANDLE holdOpen(const std::string& path) {
    return CreateFileW(systemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
}

TEST(WinOutputFiles, ARenameWaitsForAProgramHoldingTheFile) {
    WinScratch dir;
    dir.write("HELD.TXT", "old");
    int error = 0;
    OutputDirectory base = openOutputDirectory(dir.file("").c_str(), false, &error);
    ASSERT_NE(base, NO_OUTPUT_DIRECTORY);
    HANDLE held = holdOpen(dir.file("HELD.TXT"));
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    dir.write("PROBE.TXT", "probe");
    if (MoveFileExW(systemPath(dir.file("PROBE.TXT")).c_str(),
                    systemPath(dir.file("HELD.TXT")).c_str(), MOVEFILE_REPLACE_EXISTING)) {
        CloseHandle(held);
        closeOutputDirectory(base);
        GTEST_SKIP() << "files held open are replaced here";
    }
    DeleteFileW(systemPath(dir.file("PROBE.TXT")).c_str());
    OutputFile file;
    ASSERT_EQ(createOutputFile(base, "HELD.TXT", &file, &error), 1);
    ASSERT_EQ(writeOutputFile(&file, "new", 3, &error), 1);
    // Held for good: the rename gives up after a while and says why.
    EXPECT_EQ(commitOutputFile(&file, "HELD.TXT", &error), 0);
    EXPECT_EQ(outputErrorText(error), "in use by another program");

    // Let go after a moment: the rename goes through.
    ASSERT_EQ(createOutputFile(base, "HELD.TXT", &file, &error), 1);
    ASSERT_EQ(writeOutputFile(&file, "new", 3, &error), 1);
    std::thread release([held] {
        Sleep(150);
        CloseHandle(held);
    });
    EXPECT_EQ(commitOutputFile(&file, "HELD.TXT", &error), 1) << outputErrorText(error);
    release.join();
    closeOutputDirectory(base);
    EXPECT_TRUE(onlyTheseAreThere(dir, {"HELD.TXT"}));
}

TEST(WinOutputFiles, PathsPastTheOldLimitAndFilesInTheWay) {
    WinScratch dir;
    int error = 0;
    OutputDirectory at = openOutputDirectory(dir.file("").c_str(), false, &error);
    ASSERT_NE(at, NO_OUTPUT_DIRECTORY);
    for (int i = 0; i < 6; ++i) {
        OutputDirectory next =
            openOutputSubdirectory(at, std::string(50, char('a' + i)).c_str(), &error);
        closeOutputDirectory(at);
        ASSERT_NE(next, NO_OUTPUT_DIRECTORY) << outputErrorText(error);
        at = next;
    }
    EXPECT_TRUE(writeFile(at, "deep.bin", "abc"));
    ASSERT_TRUE(writeFile(at, "plain", "abc"));
    EXPECT_EQ(openOutputSubdirectory(at, "plain", &error), NO_OUTPUT_DIRECTORY);
    EXPECT_EQ(outputErrorText(error), "a file is in the way");
    closeOutputDirectory(at);
}

TEST(WinOutputFiles, NeverWritesThroughALink) {
    WinScratch dir;
    CreateDirectoryW(systemPath(dir.file("elsewhere")).c_str(), nullptr);
    if (!CreateSymbolicLinkW(systemPath(dir.file("link")).c_str(),
                             systemPath(dir.file("elsewhere")).c_str(),
                             SYMBOLIC_LINK_FLAG_DIRECTORY | 0x2 /* unprivileged */))
        GTEST_SKIP() << "no symbolic links here";
    DWORD attributes = GetFileAttributesW(systemPath(dir.file("link")).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        GTEST_SKIP() << "links made here do not show as links (wine)";
    int error = 0;
    OutputDirectory base = openOutputDirectory(dir.file("").c_str(), false, &error);
    ASSERT_NE(base, NO_OUTPUT_DIRECTORY);
    EXPECT_EQ(outputNameKind(base, "link"), OUTPUT_NAME_SYMLINK);
    EXPECT_EQ(openOutputSubdirectory(base, "link", &error), NO_OUTPUT_DIRECTORY);
    EXPECT_EQ(outputErrorText(error), "a symbolic link is in the way");
    closeOutputDirectory(base);
}

}  // namespace
