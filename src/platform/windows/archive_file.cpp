#include "platform/archive_file.h"

#include <windows.h>

#include "platform/windows/file_reads.h"
#include "platform/windows/wide_text.h"

ArchiveFile::~ArchiveFile() {
    close();
}

int ArchiveFile::open(const char* path, std::string* why) {
    close();
    std::wstring name = systemPath(path);
    // Read-only, so archives on read-only media open. Others may read it too,
    // rename or delete the path, and write to it: a change to the archive
    // (which locks out other writers itself) must not be blocked by a browser
    // that shows it; the browser tells such a change by the file's stamp.
    HANDLE file = CreateFileW(name.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (why != nullptr) {
            // A directory cannot be opened as a file at all; say what it is.
            DWORD attributes = GetFileAttributesW(name.c_str());
            bool directory = attributes != INVALID_FILE_ATTRIBUTES &&
                             (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            *why = directory ? "not a regular file" : windowsErrorText(error);
        }
        return 0;
    }
    // Devices (NUL, CON, COM1, pipes) open like files; only a disk file is an archive.
    BY_HANDLE_FILE_INFORMATION information;
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        if (why != nullptr)
            *why = "not a regular file";
        CloseHandle(file);
        return 0;
    }
    handle_ = reinterpret_cast<intptr_t>(file);
    stamp_ = stampOf(information);
    size_ = stamp_.size;
    return 1;
}

void ArchiveFile::close() {
    if (handle_ != INVALID_HANDLE)
        CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = INVALID_HANDLE;
    size_ = 0;
    stamp_ = FileStamp{};
}

int64_t ArchiveFile::readAt(uint64_t offset, void* buffer, size_t count) const {
    if (handle_ == INVALID_HANDLE)
        return -1;
    return readFullyAt(reinterpret_cast<HANDLE>(handle_), offset, buffer, count);
}
