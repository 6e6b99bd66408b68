// The host's own files and folders as --create packs them: listing a folder,
// what stands at a path, and which characters separate path components.
//
// One implementation per platform folder (posix/host_files.cpp, ...). Paths
// are host text (UTF-8 on Windows, where the command line is converted once).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What stands at a path.
enum HostFileKind : int32_t {
    HOST_FILE = 0,       // a regular file
    HOST_DIRECTORY = 1,  // a directory
    HOST_OTHER = 2,      // a symbolic link (when not followed), device, FIFO, socket, ...
};

// What inspectHostPath finds at a path.
struct HostFileInfo {
    HostFileKind kind = HOST_OTHER;
    uint64_t size = 0;    // a regular file's length in bytes
    uint64_t volume = 0;  // with `file`, tells one file from every other on the system
    uint64_t file = 0;
};

// The names in the folder at `path` (without "." and ".."), in the order the
// system gives them. Returns 1 when read, 0 when the folder cannot be read.
int listHostDirectory(const std::string& path, std::vector<std::string>* names);

// Fills `*info` for what stands at `path`, following a symbolic link (or
// junction) when `followLinks` is set and reporting it as HOST_OTHER when not.
// Returns 1 when found, 0 when nothing can be had there, with the system's
// words for why in `*why` (when not null).
int inspectHostPath(const std::string& path, bool followLinks, HostFileInfo* info,
                    std::string* why = nullptr);

// True when `c` separates path components on this system ('/', and '\' on Windows).
bool isHostPathSeparator(char c);

// `name` inside the folder `path`, as the user named the folder: one
// separator between them, however the user ended the folder's name.
inline std::string hostChildPath(const std::string& path, const std::string& name) {
    if (!path.empty() && isHostPathSeparator(path.back()))
        return path + name;
    return path + "/" + name;
}
