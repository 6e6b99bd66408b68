// Packs the plain files under SOURCE_DIR into the demo archive, adding what is
// too big or too many to keep in the repository: a directory of 72 sound
// effects (more than a panel pair holds, so paging shows), a movie over 1 MB,
// a root entry whose stored name holds a '/', and an empty directory.
//
//   make_demo SOURCE_DIR ARCHIVE
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "archive/writer.h"

namespace {

namespace fs = std::filesystem;

constexpr int SOUND_COUNT = 72;
constexpr size_t MOVIE_SIZE = 1536 * 1024;

// Deterministic filler bytes, so the archive is the same on every build.
std::string noise(size_t length, uint32_t seed) {
    std::string bytes(length, '\0');
    uint32_t state = seed * 2654435761u + 1;
    for (char& c : bytes) {
        state = state * 1664525u + 1013904223u;
        c = static_cast<char>(state >> 24);
    }
    return bytes;
}

// Adds the files and directories below `source` to `directory`, in name
// order; names starting with '.' are skipped.
bool addTree(const fs::path& source, ArchiveNode& directory) {
    std::error_code error;
    std::vector<fs::directory_entry> items;
    for (const auto& item : fs::directory_iterator(source, error)) items.push_back(item);
    if (error) {
        std::fprintf(stderr, "make_demo: cannot read %s: %s\n", source.c_str(),
                     error.message().c_str());
        return false;
    }
    std::sort(items.begin(), items.end());
    for (const auto& item : items) {
        const std::string name = item.path().filename().string();
        if (name.empty() || name[0] == '.')
            continue;
        if (item.is_directory()) {
            directory.children.push_back(archiveDirectory(name));
            if (!addTree(item.path(), directory.children.back()))
                return false;
        } else {
            directory.children.push_back(archiveFileFromDisk(name, item.path().string()));
        }
    }
    return true;
}

ArchiveNode& subdirectory(ArchiveNode& directory, const std::string& name) {
    for (ArchiveNode& child : directory.children) {
        if (child.kind == NODE_DIRECTORY && child.name == name)
            return child;
    }
    directory.children.push_back(archiveDirectory(name));
    return directory.children.back();
}

void addGenerated(ArchiveNode& root) {
    ArchiveNode& sounds = subdirectory(root, "SOUNDS");
    for (int i = 0; i < SOUND_COUNT; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "SFX%03d.VOC", i);
        sounds.children.push_back(archiveFile(name, noise(64 + 97 * static_cast<size_t>(i), i)));
    }
    subdirectory(root, "MOVIES").children.push_back(archiveFile("INTRO.ANI", noise(MOVIE_SIZE, 7)));
    root.children.push_back(
        archiveFile("DATA/CONFIG.CFG", "[video]\r\nmode=13h\r\n[sound]\r\nvolume=12\r\n"));
    subdirectory(root, "SAVEGAME");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_demo SOURCE_DIR ARCHIVE\n");
        return 2;
    }
    ArchiveNode root = archiveDirectory("");
    if (!addTree(argv[1], root))
        return 1;
    addGenerated(root);
    std::string error;
    if (writeArchiveFile(root, argv[2], &error) == 0) {
        std::fprintf(stderr, "make_demo: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
