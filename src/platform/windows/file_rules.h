// Rules of the Windows output layer that need no system call: which reparse
// points are links, how long a rename waits for another program, which
// attributes a finished file keeps and how a folder is named to the
// free-space query.
//
// Pure and free of <windows.h>, so that the rules can be tested as tables on
// any host.
#pragma once

#include <cstdint>
#include <string>

// Bits of a file's attributes (File Attribute Constants), as the system reports them.
constexpr uint32_t WIN_ATTRIBUTE_READONLY = 0x00000001;
constexpr uint32_t WIN_ATTRIBUTE_HIDDEN = 0x00000002;
constexpr uint32_t WIN_ATTRIBUTE_SYSTEM = 0x00000004;
constexpr uint32_t WIN_ATTRIBUTE_DIRECTORY = 0x00000010;
constexpr uint32_t WIN_ATTRIBUTE_ARCHIVE = 0x00000020;
constexpr uint32_t WIN_ATTRIBUTE_NORMAL = 0x00000080;
constexpr uint32_t WIN_ATTRIBUTE_TEMPORARY = 0x00000100;
constexpr uint32_t WIN_ATTRIBUTE_SPARSE_FILE = 0x00000200;
constexpr uint32_t WIN_ATTRIBUTE_REPARSE_POINT = 0x00000400;
constexpr uint32_t WIN_ATTRIBUTE_COMPRESSED = 0x00000800;
constexpr uint32_t WIN_ATTRIBUTE_OFFLINE = 0x00001000;
constexpr uint32_t WIN_ATTRIBUTE_NOT_CONTENT_INDEXED = 0x00002000;
constexpr uint32_t WIN_ATTRIBUTE_ENCRYPTED = 0x00004000;
constexpr uint32_t WIN_ATTRIBUTE_PINNED = 0x00080000;
constexpr uint32_t WIN_ATTRIBUTE_UNPINNED = 0x00100000;

// System error codes (GetLastError) the rules look at.
constexpr uint32_t WIN_ERROR_ACCESS_DENIED = 5;
constexpr uint32_t WIN_ERROR_SHARING_VIOLATION = 32;
constexpr uint32_t WIN_ERROR_LOCK_VIOLATION = 33;

// True when an entry with `attributes` and the reparse tag `reparseTag` (from
// FileAttributeTagInfo) stands for another name: a symbolic link, junction or
// mount point, whose tags are name surrogates. Cloud placeholders,
// deduplicated files and the other reparse points are ordinary files and
// folders, and so is everything without the reparse-point attribute.
bool isNameSurrogate(uint32_t attributes, uint32_t reparseTag);

// Milliseconds to wait before trying again a rename or removal that has
// failed `failures` times, the last with the system error `error`; 0 to give
// up. Only what a program holding the file for a moment causes (a virus
// scanner, the search indexer, a sync client: access denied, a sharing or
// lock violation) is tried again, with waits growing from 10 to 320 ms and
// under two seconds in all.
uint32_t renameRetryDelay(uint32_t error, int failures);

// The attributes to set on a finished file whose temporary file had
// `attributes`: the same less the hidden bit (so that the archive bit that
// backup tools look for and the bits a folder hands down stay), keeping only
// bits that can be set; FILE_ATTRIBUTE_NORMAL when none remain.
uint32_t attributesOfFinishedFile(uint32_t attributes);

// The full directory path `path` ("\\?\D:\", "\\?\D:\out", "\\?\UNC\host\share")
// as the free-space query takes it: ending in exactly one backslash, so that
// a drive root or a share is named as a root.
std::wstring freeSpaceQueryPath(std::wstring path);
