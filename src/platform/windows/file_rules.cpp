#include "platform/windows/file_rules.h"

namespace {

// The tag bit that marks a reparse point standing for another named entity
// (IsReparseTagNameSurrogate).
constexpr uint32_t REPARSE_TAG_NAME_SURROGATE = 0x20000000;

// The attributes SetFileAttributes may set; the others (directory, sparse,
// compressed, encrypted, reparse point, ...) belong to the file system and
// are refused or ignored there.
constexpr uint32_t SETTABLE_ATTRIBUTES =
    WIN_ATTRIBUTE_READONLY | WIN_ATTRIBUTE_HIDDEN | WIN_ATTRIBUTE_SYSTEM | WIN_ATTRIBUTE_ARCHIVE |
    WIN_ATTRIBUTE_TEMPORARY | WIN_ATTRIBUTE_OFFLINE | WIN_ATTRIBUTE_NOT_CONTENT_INDEXED |
    WIN_ATTRIBUTE_PINNED | WIN_ATTRIBUTE_UNPINNED;

constexpr uint32_t FIRST_RETRY_MS = 10;
constexpr uint32_t LONGEST_RETRY_MS = 320;
constexpr int MOST_RETRIES = 10;

}  // namespace

bool isNameSurrogate(uint32_t attributes, uint32_t reparseTag) {
    return (attributes & WIN_ATTRIBUTE_REPARSE_POINT) != 0 &&
           (reparseTag & REPARSE_TAG_NAME_SURROGATE) != 0;
}

uint32_t renameRetryDelay(uint32_t error, int failures) {
    if (error != WIN_ERROR_ACCESS_DENIED && error != WIN_ERROR_SHARING_VIOLATION &&
        error != WIN_ERROR_LOCK_VIOLATION)
        return 0;
    if (failures < 1 || failures > MOST_RETRIES)
        return 0;
    // Most holders let go within a few milliseconds; a scan of a large file
    // may take a good part of a second.
    uint32_t delay = FIRST_RETRY_MS << (failures < 7 ? failures - 1 : 6);
    return delay < LONGEST_RETRY_MS ? delay : LONGEST_RETRY_MS;
}

uint32_t attributesOfFinishedFile(uint32_t attributes) {
    // "Normal" is valid only alone: set beside the others it would be
    // ignored, set alone it would drop them all.
    uint32_t kept = attributes & SETTABLE_ATTRIBUTES & ~WIN_ATTRIBUTE_HIDDEN;
    return kept == 0 ? WIN_ATTRIBUTE_NORMAL : kept;
}

std::wstring freeSpaceQueryPath(std::wstring path) {
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    path += L'\\';
    return path;
}
