#include "platform/host_files.h"

#include <windows.h>

#include "platform/windows/file_rules.h"
#include "platform/windows/wide_text.h"

int listHostDirectory(const std::string& path, std::vector<std::string>* names) {
    std::wstring pattern = systemPath(path.empty() ? "." : path);
    if (!pattern.empty() && pattern.back() != L'\\')
        pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    names->clear();
    do {
        std::wstring_view name = found.cFileName;
        if (name != L"." && name != L"..")
            names->push_back(wideToUtf8(name));
    } while (FindNextFileW(search, &found));
    const bool complete = GetLastError() == ERROR_NO_MORE_FILES;
    FindClose(search);
    return complete ? 1 : 0;
}

int inspectHostPath(const std::string& path, bool followLinks, HostFileInfo* info,
                    std::string* why) {
    // Opened for its attributes only and shared every way, so that files
    // other programs hold open can still be looked at.
    const DWORD flags =
        FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    HANDLE handle = CreateFileW(systemPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, flags, nullptr);
    BY_HANDLE_FILE_INFORMATION details;
    if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &details)) {
        if (why != nullptr)
            *why = windowsErrorText(GetLastError());
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
        return 0;
    }
    const bool onDisk = GetFileType(handle) == FILE_TYPE_DISK;
    const DWORD attributes = details.dwFileAttributes;
    // Only links, junctions and mount points lead elsewhere; other reparse
    // points (cloud placeholders, deduplicated files) are what they seem. A
    // tag that cannot be read counts as a link.
    bool link = false;
    if (!followLinks && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        FILE_ATTRIBUTE_TAG_INFO tag;
        link = !GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) ||
               isNameSurrogate(tag.FileAttributes, tag.ReparseTag);
    }
    CloseHandle(handle);
    if (!onDisk || link)
        info->kind = HOST_OTHER;
    else if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        info->kind = HOST_DIRECTORY;
    else
        info->kind = HOST_FILE;
    info->size = info->kind == HOST_FILE
                     ? (uint64_t(details.nFileSizeHigh) << 32) | details.nFileSizeLow
                     : 0;
    info->volume = details.dwVolumeSerialNumber;
    info->file = (uint64_t(details.nFileIndexHigh) << 32) | details.nFileIndexLow;
    return 1;
}

bool isHostPathSeparator(char c) {
    return c == '/' || c == '\\';
}
