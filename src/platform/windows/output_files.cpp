#include "platform/output_files.h"

#include <windows.h>

#include <atomic>
#include <vector>

#include "platform/signals.h"
#include "platform/windows/directory_paths.h"
#include "platform/windows/file_rules.h"
#include "platform/windows/output_names.h"
#include "platform/windows/wide_text.h"
#include "text/cause.h"

// An OutputDirectory points to an OpenDirectory: the directory's handle and
// its full "\\?\" path. The handle is opened without FILE_SHARE_DELETE, so
// nobody can rename or remove the directory (or one above it) while output
// goes in, and the path stays the directory's own; children are reached by
// that path, which also lifts the 260-character limit.

struct OpenDirectory {
    HANDLE handle;
    std::wstring path;
};

namespace {

constexpr size_t TEMPORARY_STEM = 200;

int fail(int* error, int code) {
    if (error != nullptr)
        *error = code;
    return 0;
}

int lastError() {
    return int(GetLastError());
}

HANDLE asHandle(intptr_t value) {
    return reinterpret_cast<HANDLE>(value);
}

HANDLE openDirectory(const std::wstring& path, bool followLinks) {
    DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    return CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, flags, nullptr);
}

// The full "\\?\" form of `path` (relative, absolute or already prefixed).
std::wstring fullPath(const std::wstring& path) {
    if (path.rfind(L"\\\\?\\", 0) == 0)
        return path;
    std::vector<wchar_t> full(path.size() + MAX_PATH + 1);
    DWORD length = GetFullPathNameW(path.c_str(), DWORD(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size())
        return std::wstring();
    std::wstring absolute(full.data(), length);
    while (absolute.size() > 3 && absolute.back() == L'\\') absolute.pop_back();
    if (absolute.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + absolute.substr(2);
    return L"\\\\?\\" + absolute;
}

OutputDirectory wrap(HANDLE handle, std::wstring path) {
    return reinterpret_cast<OutputDirectory>(new OpenDirectory{handle, std::move(path)});
}

// The attributes and reparse tag of the entry `handle` was opened on.
bool attributeTag(HANDLE handle, FILE_ATTRIBUTE_TAG_INFO* tag) {
    return GetFileInformationByHandleEx(handle, FileAttributeTagInfo, tag, sizeof *tag) != 0;
}

// True when the reparse point at `path` stands for another name (a link,
// junction or mount point). One whose tag cannot be read counts as a link:
// nothing is written through what cannot be told apart from one.
bool isLinkAt(const std::wstring& path) {
    HANDLE handle = CreateFileW(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return true;
    FILE_ATTRIBUTE_TAG_INFO tag;
    bool link = !attributeTag(handle, &tag) || isNameSurrogate(tag.FileAttributes, tag.ReparseTag);
    CloseHandle(handle);
    return link;
}

OutputNameKind kindAt(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return OUTPUT_NAME_FREE;
    // Cloud placeholders (OneDrive's Desktop and Documents are full of them)
    // carry the reparse-point attribute too, and are ordinary files and folders.
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && isLinkAt(path))
        return OUTPUT_NAME_SYMLINK;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return OUTPUT_NAME_DIRECTORY;
    if (attributes & FILE_ATTRIBUTE_DEVICE)
        return OUTPUT_NAME_SPECIAL;
    return OUTPUT_NAME_FILE;
}

// True when `path` is open in another program that does not let it be
// renamed or removed.
bool inUseElsewhere(const std::wstring& path) {
    HANDLE handle = CreateFileW(
        path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        return false;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION;
}

// Renames the finished file `from` to `to`, replacing a file there; returns
// 0 or the cause. Virus scanners, the search indexer and sync clients open
// fresh files for a moment without sharing their removal, so a failure of
// that kind is tried again for a short while.
int renameIntoPlace(const std::wstring& from, const std::wstring& to) {
    for (int failures = 1;; ++failures) {
        // Windows refuses to replace a read-only file, and some systems do
        // not: it is the user's, so it stays whichever way. Asked before
        // every try, since the user may mark it meanwhile.
        DWORD existing = GetFileAttributesW(to.c_str());
        if (existing != INVALID_FILE_ATTRIBUTES && !(existing & FILE_ATTRIBUTE_DIRECTORY) &&
            (existing & FILE_ATTRIBUTE_READONLY))
            return OUTPUT_ERROR_READ_ONLY;
        // Replacing the name replaces whatever link stands there, never its target.
        if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING))
            return 0;
        DWORD code = GetLastError();
        if (code == ERROR_ACCESS_DENIED && kindAt(to) == OUTPUT_NAME_DIRECTORY)
            return OUTPUT_ERROR_DIRECTORY;
        DWORD delay = renameRetryDelay(code, failures);
        if (delay == 0) {
            // A file held open elsewhere is often reported as access denied.
            if (code == ERROR_ACCESS_DENIED && (inUseElsewhere(to) || inUseElsewhere(from)))
                code = ERROR_SHARING_VIOLATION;
            return int(code);
        }
        Sleep(delay);
    }
}

// Removes the file at `path`, waiting a moment for a program that holds it.
void removeFile(const std::wstring& path) {
    for (int failures = 1; !DeleteFileW(path.c_str()); ++failures) {
        DWORD delay = renameRetryDelay(GetLastError(), failures);
        if (delay == 0)
            return;
        Sleep(delay);
    }
}

// Creates `path` and its missing parents ('\' between them). Roots of
// drives and shares, and folders one may enter but not create, fail to be
// created on the way; what counts is that the whole path is a directory.
bool makeDirectoryChain(const std::wstring& path) {
    DWORD failure = ERROR_PATH_NOT_FOUND;
    size_t start = path.rfind(L"\\\\?\\", 0) == 0 ? 4 : 0;
    while (start <= path.size()) {
        size_t slash = path.find(L'\\', start);
        if (slash == std::wstring::npos)
            slash = path.size();
        std::wstring prefix = path.substr(0, slash);
        start = slash + 1;
        if (!prefix.empty() && prefix.back() != L':' && prefix.back() != L'\\' &&
            !CreateDirectoryW(prefix.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            failure = GetLastError();
    }
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return true;
    SetLastError(attributes == INVALID_FILE_ATTRIBUTES ? failure : ERROR_DIRECTORY);
    return false;
}

}  // namespace

std::wstring outputDirectoryPath(OutputDirectory directory) {
    if (directory == NO_OUTPUT_DIRECTORY)
        return std::wstring();
    return reinterpret_cast<const OpenDirectory*>(directory)->path;
}

std::wstring outputChildPath(OutputDirectory directory, const char* name) {
    std::wstring base = outputDirectoryPath(directory);
    if (base.empty())
        return base;
    if (base.back() != L'\\')
        base += L'\\';
    return base + utf8ToWide(windowsSafeComponent(name));
}

OutputDirectory openOutputDirectory(const char* path, bool create, int* error) {
    std::wstring name = systemPath(*path == '\0' ? "." : path);
    if (create && !makeDirectoryChain(name)) {
        fail(error, lastError());
        return NO_OUTPUT_DIRECTORY;
    }
    // The directory the user names is taken as it is, link or not; only what
    // the program creates below it must not lead elsewhere.
    std::wstring full = fullPath(name);
    HANDLE handle = full.empty() ? INVALID_HANDLE_VALUE : openDirectory(full, true);
    if (handle == INVALID_HANDLE_VALUE) {
        fail(error, lastError());
        return NO_OUTPUT_DIRECTORY;
    }
    return wrap(handle, std::move(full));
}

OutputDirectory openOutputSubdirectory(OutputDirectory parent, const char* name, int* error) {
    std::wstring path = outputChildPath(parent, name);
    if (path.empty()) {
        fail(error, lastError());
        return NO_OUTPUT_DIRECTORY;
    }
    if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        fail(error, lastError());
        return NO_OUTPUT_DIRECTORY;
    }
    HANDLE handle = openDirectory(path, false);
    if (handle == INVALID_HANDLE_VALUE) {
        int code = lastError();
        fail(error, kindAt(path) == OUTPUT_NAME_FILE ? ERROR_DIRECTORY : code);
        return NO_OUTPUT_DIRECTORY;
    }
    // Opened as itself, a junction or symbolic link shows its reparse tag
    // (a cloud placeholder shows one too, and is a folder like any other);
    // a plain file opens too (backup semantics) and is refused here.
    FILE_ATTRIBUTE_TAG_INFO tag;
    int refusal = 0;
    if (!attributeTag(handle, &tag))
        refusal = lastError();
    else if (isNameSurrogate(tag.FileAttributes, tag.ReparseTag))
        refusal = OUTPUT_ERROR_SYMLINK;
    else if (!(tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        refusal = ERROR_DIRECTORY;
    if (refusal != 0) {
        CloseHandle(handle);
        fail(error, refusal);
        return NO_OUTPUT_DIRECTORY;
    }
    return wrap(handle, std::move(path));
}

void closeOutputDirectory(OutputDirectory directory) {
    if (directory == NO_OUTPUT_DIRECTORY)
        return;
    auto* open = reinterpret_cast<OpenDirectory*>(directory);
    CloseHandle(open->handle);
    delete open;
}

OutputNameKind outputNameKind(OutputDirectory directory, const char* name) {
    std::wstring path = outputChildPath(directory, name);
    if (path.empty())
        return OUTPUT_NAME_FREE;
    return kindAt(path);
}

uint64_t outputFreeSpace(OutputDirectory directory) {
    std::wstring path = outputDirectoryPath(directory);
    ULARGE_INTEGER available;
    if (path.empty() ||
        !GetDiskFreeSpaceExW(freeSpaceQueryPath(path).c_str(), &available, nullptr, nullptr))
        return UINT64_MAX;
    return available.QuadPart;
}

int createOutputFile(OutputDirectory directory, const char* finalName, OutputFile* file,
                     int* error) {
    static std::atomic<unsigned> counter{0};
    std::string stem = windowsSafeComponent(finalName);
    if (stem.size() > TEMPORARY_STEM)
        stem.resize(TEMPORARY_STEM);
    for (;;) {
        // Hidden, with the process id and a counter keeping two runs apart.
        std::string name = stem + ".part-" + std::to_string(GetCurrentProcessId()) + "-" +
                           std::to_string(counter++);
        std::wstring path = outputChildPath(directory, name.c_str());
        if (path.empty())
            return fail(error, lastError());
        // Registered before it exists, so that no interrupt can fall between
        // making the file and knowing to remove it.
        const int slot = addPendingRemoval(directory, name.c_str());
        HANDLE handle =
            CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                        CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            file->handle = reinterpret_cast<intptr_t>(handle);
            file->directory = directory;
            file->temporaryName = name;
            file->pendingSlot = slot;
            return 1;
        }
        DWORD code = GetLastError();
        clearPendingRemoval(slot);
        if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS)
            return fail(error, int(code));
    }
}

int writeOutputFile(OutputFile* file, const void* bytes, size_t count, int* error) {
    auto* data = static_cast<const unsigned char*>(bytes);
    size_t done = 0;
    while (done < count) {
        DWORD want = count - done < (1u << 30) ? DWORD(count - done) : (1u << 30);
        DWORD put = 0;
        if (!WriteFile(asHandle(file->handle), data + done, want, &put, nullptr))
            return fail(error, lastError());
        if (put == 0)
            return fail(error, ERROR_DISK_FULL);
        done += put;
    }
    return 1;
}

int64_t copyIntoOutputFile(OutputFile*, intptr_t, uint64_t, size_t, int*) {
    // No copy between two open handles without the program's buffer here;
    // the caller's buffer copy does the work.
    return 0;
}

int commitOutputFile(OutputFile* file, const char* finalName, int* error) {
    int code = 0;
    if (!CloseHandle(asHandle(file->handle)))
        code = lastError();
    file->handle = -1;
    std::wstring from = outputChildPath(file->directory, file->temporaryName.c_str());
    std::wstring to = outputChildPath(file->directory, finalName);
    if (code == 0 && (from.empty() || to.empty()))
        code = lastError();
    if (code == 0)
        code = renameIntoPlace(from, to);
    if (code == 0) {
        // Only the hidden bit of the temporary file goes: the archive bit a
        // new file gets is what backup tools look for.
        DWORD attributes = GetFileAttributesW(to.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN))
            SetFileAttributesW(to.c_str(), attributesOfFinishedFile(attributes));
        file->temporaryName.clear();
        clearPendingRemoval(file->pendingSlot);
        file->pendingSlot = -1;
        return 1;
    }
    discardOutputFile(file);
    return fail(error, code);
}

void discardOutputFile(OutputFile* file) {
    if (file->handle != -1)
        CloseHandle(asHandle(file->handle));
    file->handle = -1;
    if (!file->temporaryName.empty()) {
        std::wstring path = outputChildPath(file->directory, file->temporaryName.c_str());
        if (!path.empty())
            removeFile(path);
    }
    file->temporaryName.clear();
    clearPendingRemoval(file->pendingSlot);
    file->pendingSlot = -1;
}

std::string outputErrorText(int error) {
    switch (error) {
        case OUTPUT_ERROR_SPECIAL_FILE:
            return "a special file (FIFO, device or socket) is in the way";
        case OUTPUT_ERROR_SYMLINK:
            return "a symbolic link is in the way";
        case OUTPUT_ERROR_SHORT_READ:
            return "the archive ends before the file's data";
        case OUTPUT_ERROR_DIRECTORY:
            return "a directory is in the way";
        case ERROR_DIRECTORY:
            return "a file is in the way";
        case OUTPUT_ERROR_READ_ONLY:
            return "a read-only file is in the way";
        case ERROR_ACCESS_DENIED:
            return "permission denied";
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return "in use by another program";
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return "no space left on the device";
        case ERROR_WRITE_PROTECT:
            return "the file system is read-only";
        case ERROR_FILENAME_EXCED_RANGE:
            return "the name is too long";
        case ERROR_TOO_MANY_OPEN_FILES:
            return "too many open files";
        default:
            return asCause(windowsErrorText(uint32_t(error)));
    }
}

std::string currentDirectoryPath() {
    DWORD needed = GetCurrentDirectoryW(0, nullptr);
    std::vector<wchar_t> path(needed + 1);
    DWORD length = needed == 0 ? 0 : GetCurrentDirectoryW(DWORD(path.size()), path.data());
    if (length == 0 || length >= path.size())
        return ".";
    return wideToUtf8(std::wstring_view(path.data(), length));
}

bool outputPathsHaveRoots() {
    return true;
}
