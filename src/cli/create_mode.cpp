#include "cli/create_mode.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <ostream>
#include <vector>

#include "archive/entry.h"
#include "archive/record.h"
#include "cli/display_name.h"
#include "output/output_name.h"
#include "platform/signals.h"
#include "text/cp437.h"

namespace {

struct Scan {
    std::string* error = nullptr;
    dev_t skipDevice = 0;  // a file left out: the archive itself, when inside the tree
    ino_t skipInode = 0;
    uint64_t files = 0;
    uint64_t bytes = 0;
    std::vector<std::string> warnings;
};

bool fail(Scan& scan, const std::string& text) {
    *scan.error = text;
    return false;
}

// Fills `node` (a directory) with the entries of the directory at `path`.
bool scanDirectory(Scan& scan, const std::string& path, ArchiveNode* node) {
    DIR* handle = opendir(path.c_str());
    if (handle == nullptr)
        return fail(scan, "cannot read directory '" + displayPath(path) + "'");
    std::vector<std::string> names;
    while (dirent* entry = readdir(handle)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    closedir(handle);
    std::sort(names.begin(), names.end());

    std::vector<std::string> stored;
    for (const std::string& name : names) {
        std::string childPath = path + "/" + name;
        struct stat info;
        if (lstat(childPath.c_str(), &info) != 0)
            return fail(scan, "cannot read '" + displayPath(childPath) + "'");
        if (S_ISREG(info.st_mode) && info.st_dev == scan.skipDevice &&
            info.st_ino == scan.skipInode)
            continue;
        if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
            return fail(scan, "'" + displayPath(childPath) + "' is neither a file nor a directory");
        std::string cp437;
        if (!utf8ToCp437(name, &cp437))
            return fail(scan, "'" + displayPath(childPath) +
                                  "': the name has a character with no code page 437 form");
        if (cp437.size() > DIR_NAME_SIZE)
            return fail(scan, "'" + displayPath(childPath) + "': the name is " +
                                  std::to_string(cp437.size()) + " bytes, a record holds " +
                                  std::to_string(DIR_NAME_SIZE));
        for (size_t i = 0; i < stored.size(); ++i) {
            if (sameNameIgnoringCase(stored[i], cp437))
                return fail(scan, "'" + displayPath(path + "/" + names[i]) + "' and '" +
                                      displayPath(childPath) + "' differ only in letter case");
        }
        if (outputPathFor(cp437) != name)
            scan.warnings.push_back("'" + displayPath(childPath) + "' will be extracted as '" +
                                    displayPath(outputPathFor(cp437)) + "'");
        stored.push_back(cp437);

        if (S_ISDIR(info.st_mode)) {
            ArchiveNode child = archiveDirectory(cp437);
            if (!scanDirectory(scan, childPath, &child))
                return false;
            node->children.push_back(std::move(child));
        } else {
            node->children.push_back(archiveFileFromDisk(cp437, childPath));
            ++scan.files;
            scan.bytes += uint64_t(info.st_size);
        }
    }
    return true;
}

}  // namespace

int createMode(const std::string& archivePath, const std::string& directory, std::ostream& out,
               std::ostream& err) {
    struct stat info;
    if (stat(directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        err << "dirrip: '" << displayPath(directory) << "' is not a directory\n";
        return 1;
    }
    struct stat existing {};
    bool archiveExists = stat(archivePath.c_str(), &existing) == 0;

    std::string error;
    Scan scan;
    scan.error = &error;
    scan.skipDevice = archiveExists ? existing.st_dev : 0;
    scan.skipInode = archiveExists ? existing.st_ino : 0;
    ArchiveNode root = archiveDirectory("");
    if (!scanDirectory(scan, directory, &root)) {
        err << "dirrip: " << error << "; nothing written\n";
        return 1;
    }
    if (root.children.empty()) {
        err << "dirrip: '" << displayPath(directory)
            << "' is empty; an archive needs at least one entry; nothing written\n";
        return 1;
    }
    // An interrupt while writing removes the unfinished archive.
    installInterruptHandlers();
    if (!writeArchiveFile(root, archivePath, &error)) {
        err << "dirrip: " << error << "; nothing written\n";
        return 1;
    }
    for (const std::string& warning : scan.warnings) err << "dirrip: note: " << warning << "\n";
    out << scan.files << " files, " << scan.bytes << " bytes\n";
    return 0;
}
