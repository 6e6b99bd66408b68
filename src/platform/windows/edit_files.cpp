#include "platform/edit_files.h"

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/windows/file_reads.h"
#include "platform/windows/wide_text.h"

namespace {

constexpr int LOCK_POLL_MILLISECONDS = 50;

HANDLE asHandle(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

void say(std::string* why, const std::string& text) {
    if (why != nullptr)
        *why = text;
}

int failWith(std::string* why, DWORD code) {
    say(why, windowsErrorText(code));
    return 0;
}

// The test hook of edit_files.h: the budget is read once, then spent by
// every write, length change and sync of both kinds of file.
void countEditOperation() {
    static long long left = [] {
        const char* value = std::getenv(EDIT_STOP_VARIABLE);
        return value != nullptr && *value != '\0' ? std::atoll(value) : -1LL;
    }();
    if (left < 0)
        return;
    if (left == 0)
        TerminateProcess(GetCurrentProcess(), 137);
    --left;
}

int64_t readAtHandle(intptr_t handle, uint64_t offset, void* buffer, size_t count) {
    if (handle == ArchiveFile::INVALID_HANDLE)
        return -1;
    return readFullyAt(asHandle(handle), offset, buffer, count);
}

int writeAtHandle(intptr_t handle, uint64_t offset, const void* bytes, size_t count, uint64_t* size,
                  std::string* why) {
    countEditOperation();
    if (handle == ArchiveFile::INVALID_HANDLE) {
        say(why, "the file is not open for writing");
        return 0;
    }
    const auto* from = static_cast<const unsigned char*>(bytes);
    size_t done = 0;
    while (done < count) {
        const DWORD want = count - done < (1u << 30) ? DWORD(count - done) : (1u << 30);
        OVERLAPPED at = overlappedAt(offset + done);
        DWORD written = 0;
        if (!WriteFile(asHandle(handle), from + done, want, &written, &at))
            return failWith(why, GetLastError());
        if (written == 0)
            return failWith(why, ERROR_DISK_FULL);
        done += written;
    }
    if (offset + count > *size)
        *size = offset + count;
    return 1;
}

int setHandleLength(intptr_t handle, uint64_t length, uint64_t* size, std::string* why) {
    countEditOperation();
    FILE_END_OF_FILE_INFO end = {};
    end.EndOfFile.QuadPart = LONGLONG(length);
    if (!SetFileInformationByHandle(asHandle(handle), FileEndOfFileInfo, &end, sizeof end))
        return failWith(why, GetLastError());
    *size = length;
    return 1;
}

int flushHandle(intptr_t handle, std::string* why) {
    countEditOperation();
    return FlushFileBuffers(asHandle(handle)) ? 1 : failWith(why, GetLastError());
}

bool sharingRefused(DWORD code) {
    return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION;
}

}  // namespace

EditableArchive::~EditableArchive() {
    close();
}

EditOpenStatus EditableArchive::open(const char* path, const FileIdentity* expected,
                                     int waitMilliseconds, std::string* why) {
    close();
    const std::wstring name = systemPath(path);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        failWith(why, GetLastError());
        return EDIT_OPEN_FAILED;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        say(why, "not a regular file");
        return EDIT_OPEN_FAILED;
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        say(why, "the archive is read-only");
        return EDIT_OPEN_READ_ONLY;
    }
    // Sharing reading only: other programs (a browser showing the archive
    // among them) still read it, while a second writer is refused by the
    // system itself until this handle is closed, whatever ends the process.
    const auto start = std::chrono::steady_clock::now();
    HANDLE file = INVALID_HANDLE_VALUE;
    for (;;) {
        file = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            break;
        const DWORD code = GetLastError();
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        if (sharingRefused(code) && waited.count() < waitMilliseconds) {
            std::this_thread::sleep_for(std::chrono::milliseconds(LOCK_POLL_MILLISECONDS));
            continue;
        }
        if (sharingRefused(code)) {
            say(why, "another program has the archive in use");
            return EDIT_OPEN_BUSY;
        }
        if (code == ERROR_WRITE_PROTECT) {
            say(why, "the archive is read-only");
            return EDIT_OPEN_READ_ONLY;
        }
        failWith(why, code);
        return EDIT_OPEN_FAILED;
    }
    BY_HANDLE_FILE_INFORMATION information;
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &information)) {
        CloseHandle(file);
        say(why, "not a regular file");
        return EDIT_OPEN_FAILED;
    }
    const FileStamp stamp = stampOf(information);
    if (expected != nullptr && !(stamp.identity == *expected)) {
        CloseHandle(file);
        say(why, "another file stands at the archive's path now than the one that was loaded");
        return EDIT_OPEN_REPLACED;
    }
    handle_ = reinterpret_cast<intptr_t>(file);
    size_ = stamp.size;
    return EDIT_OPEN_OK;
}

void EditableArchive::close() {
    if (handle_ != ArchiveFile::INVALID_HANDLE)
        CloseHandle(asHandle(handle_));
    handle_ = ArchiveFile::INVALID_HANDLE;
    size_ = 0;
}

FileStamp EditableArchive::stamp() const {
    BY_HANDLE_FILE_INFORMATION information;
    if (handle_ == ArchiveFile::INVALID_HANDLE ||
        !GetFileInformationByHandle(asHandle(handle_), &information))
        return FileStamp{};
    return stampOf(information);
}

int64_t EditableArchive::readAt(uint64_t offset, void* buffer, size_t count) const {
    return readAtHandle(handle_, offset, buffer, count);
}

int EditableArchive::writeAt(uint64_t offset, const void* bytes, size_t count, std::string* why) {
    return writeAtHandle(handle_, offset, bytes, count, &size_, why);
}

int EditableArchive::setLength(uint64_t length, std::string* why) {
    return setHandleLength(handle_, length, &size_, why);
}

int EditableArchive::sync(std::string* why) {
    return flushHandle(handle_, why);
}

JournalFile::~JournalFile() {
    close();
}

int JournalFile::open(const char* path, JournalOpenMode mode, bool* missing, std::string* why) {
    close();
    if (missing != nullptr)
        *missing = false;
    const std::wstring name = systemPath(path);
    // Readers of the journal let its writer go on; its writer lets readers look.
    const DWORD access = mode == JOURNAL_READ ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    const DWORD share = mode == JOURNAL_READ
                            ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE
                            : FILE_SHARE_READ;
    HANDLE file = INVALID_HANDLE_VALUE;
    if (mode == JOURNAL_CREATE)
        file = CreateFileW(name.c_str(), access, share, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (file == INVALID_HANDLE_VALUE &&
        (mode != JOURNAL_CREATE || GetLastError() == ERROR_FILE_EXISTS))
        file = CreateFileW(name.c_str(), access, share, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (missing != nullptr)
            *missing = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
        return failWith(why, code);
    }
    LARGE_INTEGER length;
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &length)) {
        CloseHandle(file);
        say(why, "not a regular file");
        return 0;
    }
    handle_ = reinterpret_cast<intptr_t>(file);
    size_ = uint64_t(length.QuadPart);
    return 1;
}

void JournalFile::close() {
    if (handle_ != ArchiveFile::INVALID_HANDLE)
        CloseHandle(asHandle(handle_));
    handle_ = ArchiveFile::INVALID_HANDLE;
    size_ = 0;
    directory_.clear();
}

int64_t JournalFile::readAt(uint64_t offset, void* buffer, size_t count) const {
    return readAtHandle(handle_, offset, buffer, count);
}

int JournalFile::writeAt(uint64_t offset, const void* bytes, size_t count, std::string* why) {
    return writeAtHandle(handle_, offset, bytes, count, &size_, why);
}

int JournalFile::setLength(uint64_t length, std::string* why) {
    return setHandleLength(handle_, length, &size_, why);
}

// The file system keeps a new file's directory entry with its own metadata
// journal; flushing the file is all there is to do.
int JournalFile::sync(std::string* why) {
    return flushHandle(handle_, why);
}

std::string journalPathFor(const std::string& archivePath) {
    return archivePath + "-journal";
}

int removeJournalFile(const std::string& path, std::string* why) {
    if (DeleteFileW(systemPath(path).c_str()))
        return 1;
    const DWORD code = GetLastError();
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? 1 : failWith(why, code);
}
