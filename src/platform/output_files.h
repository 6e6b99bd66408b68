// Writing output to disk: the directories, files and figures that ripping,
// extraction and the file lists need from the system. One implementation per
// platform folder (posix/output_files.cpp, ...); nothing above this floor
// opens, creates or renames an output file itself.
//
// Failures are reported as the system's own error code (errno on POSIX, the
// last-error value on Windows) or one of the OUTPUT_ERROR_ codes below;
// outputErrorText turns either into words for messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// An open directory that output goes into (a descriptor on POSIX, a handle on Windows).
using OutputDirectory = intptr_t;
constexpr OutputDirectory NO_OUTPUT_DIRECTORY = -1;

// Error codes of our own, beside the system's (which are all positive).
constexpr int OUTPUT_ERROR_SPECIAL_FILE = -2;  // a FIFO, device or socket stands at the name
constexpr int OUTPUT_ERROR_SYMLINK = -3;       // a symbolic link stands at the name
constexpr int OUTPUT_ERROR_SHORT_READ = -4;    // the archive ends before the file's data does
constexpr int OUTPUT_ERROR_DIRECTORY = -5;     // a directory stands at a file's name
constexpr int OUTPUT_ERROR_READ_ONLY = -6;     // a read-only file stands at the name

// Opens the directory at `path` (host text, relative to the current directory
// or absolute), first creating it and its missing parents when `create` is set
// (as mkdir -p). Returns the open directory, or NO_OUTPUT_DIRECTORY with the
// cause in `*error`.
OutputDirectory openOutputDirectory(const char* path, bool create, int* error);

// Opens the sub-directory `name` (one name, never empty, "." or "..") of
// `parent`, creating it when missing. A symbolic link of that name is never
// followed and anything but a directory is refused. Returns the open
// directory, or NO_OUTPUT_DIRECTORY with the cause in `*error`.
OutputDirectory openOutputSubdirectory(OutputDirectory parent, const char* name, int* error);

// Closes a directory; NO_OUTPUT_DIRECTORY is ignored.
void closeOutputDirectory(OutputDirectory directory);

// What stands at a name inside a directory (a symbolic link is not followed).
enum OutputNameKind : int32_t {
    OUTPUT_NAME_FREE = 0,       // nothing
    OUTPUT_NAME_FILE = 1,       // a regular file
    OUTPUT_NAME_DIRECTORY = 2,  // a directory
    OUTPUT_NAME_SYMLINK = 3,    // a symbolic link
    OUTPUT_NAME_SPECIAL = 4,    // a FIFO, device, socket or anything else
    OUTPUT_NAME_READ_ONLY = 5,  // a regular file that nobody may write (not even its owner)
};
// What stands at `name` in `directory`.
OutputNameKind outputNameKind(OutputDirectory directory, const char* name);

// Bytes available to this program on the file system holding `directory`;
// UINT64_MAX when the figure cannot be had (the checked writes decide then).
uint64_t outputFreeSpace(OutputDirectory directory);

// An output file being written under a temporary name in its target
// directory; it appears under its final name only when commitOutputFile
// renames it into place.
struct OutputFile {
    intptr_t handle = -1;                             // the open file (a descriptor on POSIX)
    OutputDirectory directory = NO_OUTPUT_DIRECTORY;  // borrowed, not closed here
    std::string temporaryName;                        // its name in `directory` while being written
    int pendingSlot = -1;  // its registration for removal should an interrupt end the run
};

// Creates a new, empty file for writing in `directory` under a temporary name
// made from `finalName` that no other file has (hidden where the platform
// hides names), registered (platform/signals.h) for removal should an
// interrupt end the run before it is committed or discarded. Returns 1 with
// `*file` set, or 0 with the cause in `*error`.
int createOutputFile(OutputDirectory directory, const char* finalName, OutputFile* file,
                     int* error);

// Writes all `count` bytes at the end of the file, going on after interrupted
// and short writes. Returns 1 when all were written, 0 with the cause in `*error`.
int writeOutputFile(OutputFile* file, const void* bytes, size_t count, int* error);

// Copies up to `count` bytes at `offset` of the open archive `archiveHandle`
// (ArchiveFile::nativeHandle) to the end of the file without passing them
// through the program. Returns the bytes copied (at least 1), 0 when the
// platform or the file systems cannot copy so (the caller then copies
// through a buffer), or -1 on a failure with the cause in `*error`.
int64_t copyIntoOutputFile(OutputFile* file, intptr_t archiveHandle, uint64_t offset, size_t count,
                           int* error);

// Closes the file and renames it to `finalName` in its directory, replacing
// a file of that name (a hard link there is replaced, not written through)
// and giving the new file that file's permission bits; a read-only file
// there is refused (OUTPUT_ERROR_READ_ONLY), as copying over it would be.
// Returns 1 when the file is in place; 0 with the cause in `*error`, the
// temporary file then removed.
int commitOutputFile(OutputFile* file, const char* finalName, int* error);

// Closes the file and removes it; safe on a file that is not open.
void discardOutputFile(OutputFile* file);

// The words for `error` (a system code or an OUTPUT_ERROR_ code) as messages
// show them after "because": "a symbolic link is in the way", "permission
// denied", "no space left on the device", ...
std::string outputErrorText(int error);

// The process's current directory as host text; "." when it cannot be had.
std::string currentDirectoryPath();

// The name the platform's file system gets for the output path component
// `component` (UTF-8, one name, never empty): the component itself, or on
// Windows the name windowsSafeComponent makes of it. Applying it twice
// changes nothing more.
std::string outputComponentName(std::string_view component);

// The key under which the platform's file system compares names: two names
// in one directory are one file exactly when their keys are equal. The name
// itself where names keep their case; on Windows every letter upper-cased by
// the system's mapping, as NTFS compares names.
std::string outputNameKey(std::string_view name);

// True when the platform's paths can begin with a drive or a device prefix
// ("C:\", "\\?\", "\\.\", UNC), so that a stored name beginning so would
// lead out of the base directory unless the prefix is dropped.
bool outputPathsHaveRoots();
