// The rules of the Windows output layer, one table each.
#include <gtest/gtest.h>

#include "platform/windows/file_rules.h"

namespace {

TEST(WindowsFileRules, OnlyNameSurrogatesAreLinks) {
    constexpr uint32_t REPARSE = WIN_ATTRIBUTE_REPARSE_POINT;
    constexpr uint32_t FOLDER = WIN_ATTRIBUTE_DIRECTORY | REPARSE;
    struct Case {
        const char* what;
        uint32_t attributes;
        uint32_t tag;
        bool link;
    };
    const Case cases[] = {
        {"symbolic link", REPARSE, 0xA000000C, true},
        {"junction or mount point", FOLDER, 0xA0000003, true},
        {"link made by the Linux subsystem", REPARSE, 0xA000001D, true},
        {"cloud placeholder file", REPARSE | WIN_ATTRIBUTE_OFFLINE, 0x9000001A, false},
        {"cloud placeholder folder", FOLDER, 0x9000701A, false},
        {"deduplicated file", REPARSE | WIN_ATTRIBUTE_SPARSE_FILE, 0x80000013, false},
        {"app execution alias", REPARSE, 0x8000001B, false},
        {"a stale tag without the reparse attribute", WIN_ATTRIBUTE_DIRECTORY, 0xA0000003, false},
    };
    for (const Case& c : cases) EXPECT_EQ(isNameSurrogate(c.attributes, c.tag), c.link) << c.what;
}

TEST(WindowsFileRules, RenamesWaitBrieflyForOtherPrograms) {
    struct Case {
        uint32_t error;
        int failures;
        uint32_t delay;
    };
    const Case cases[] = {
        {WIN_ERROR_ACCESS_DENIED, 1, 10},
        {WIN_ERROR_SHARING_VIOLATION, 2, 20},
        {WIN_ERROR_LOCK_VIOLATION, 5, 160},
        {WIN_ERROR_SHARING_VIOLATION, 7, 320},
        {WIN_ERROR_SHARING_VIOLATION, 10, 320},
        {WIN_ERROR_SHARING_VIOLATION, 11, 0},
        {WIN_ERROR_ACCESS_DENIED, 0, 0},
        {2 /* file not found */, 1, 0},
        {112 /* disk full */, 1, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(renameRetryDelay(c.error, c.failures), c.delay)
            << "error " << c.error << " after " << c.failures;

    // However long a holder keeps the file, the wait ends, and not at once.
    uint32_t total = 0;
    int tries = 1;
    for (uint32_t delay; (delay = renameRetryDelay(WIN_ERROR_SHARING_VIOLATION, tries)) != 0;
         ++tries)
        total += delay;
    EXPECT_GE(total, 1000u);
    EXPECT_LT(total, 2000u);
}

TEST(WindowsFileRules, FinishedFilesKeepAllButTheHiddenBit) {
    constexpr uint32_t HIDDEN = WIN_ATTRIBUTE_HIDDEN;
    constexpr uint32_t ARCHIVE = WIN_ATTRIBUTE_ARCHIVE;
    struct Case {
        const char* what;
        uint32_t temporary;
        uint32_t finished;
    };
    const Case cases[] = {
        {"a new file keeps its archive bit", HIDDEN | ARCHIVE, ARCHIVE},
        {"bits the folder hands down stay",
         HIDDEN | ARCHIVE | WIN_ATTRIBUTE_NOT_CONTENT_INDEXED | WIN_ATTRIBUTE_PINNED,
         ARCHIVE | WIN_ATTRIBUTE_NOT_CONTENT_INDEXED | WIN_ATTRIBUTE_PINNED},
        {"only bits that can be set",
         HIDDEN | ARCHIVE | WIN_ATTRIBUTE_COMPRESSED | WIN_ATTRIBUTE_SPARSE_FILE |
             WIN_ATTRIBUTE_ENCRYPTED,
         ARCHIVE},
        {"nothing left is normal", HIDDEN, WIN_ATTRIBUTE_NORMAL},
        {"nothing settable left is normal", HIDDEN | WIN_ATTRIBUTE_COMPRESSED,
         WIN_ATTRIBUTE_NORMAL},
    };
    for (const Case& c : cases)
        EXPECT_EQ(attributesOfFinishedFile(c.temporary), c.finished) << c.what;
}

TEST(WindowsFileRules, FreeSpaceIsAskedOfTheFolderWithOneBackslash) {
    struct Case {
        const wchar_t* path;
        const wchar_t* query;
    };
    const Case cases[] = {
        {L"\\\\?\\D:\\", L"\\\\?\\D:\\"},
        {L"\\\\?\\D:\\out", L"\\\\?\\D:\\out\\"},
        {L"\\\\?\\UNC\\host\\share", L"\\\\?\\UNC\\host\\share\\"},
        {L"\\\\?\\UNC\\host\\share\\\\", L"\\\\?\\UNC\\host\\share\\"},
    };
    for (const Case& c : cases) EXPECT_EQ(freeSpaceQueryPath(c.path), c.query);
}

}  // namespace
