#include "cli/create_mode.h"

#include <algorithm>
#include <ostream>
#include <vector>

#include "archive/entry.h"
#include "archive/record.h"
#include "cli/display_name.h"
#include "output/output_name.h"
#include "platform/host_files.h"
#include "platform/signals.h"
#include "text/counted.h"
#include "text/cp437.h"

namespace {

struct Scan {
    bool skipping = false;  // a file left out: the archive itself, when inside the tree
    HostFileInfo skip;
    uint64_t files = 0;
    uint64_t bytes = 0;
    std::vector<std::string> problems;  // every reason to refuse, in the order met
    std::vector<std::string> warnings;
};

// What stands at `path` when it is neither a file nor a directory: a symbolic
// link (or junction) says so, since it is the usual surprise.
std::string otherKindText(const std::string& path) {
    HostFileInfo target;
    if (inspectHostPath(path, true, &target) && target.kind != HOST_OTHER)
        return "is a symbolic link";
    return "is neither a file nor a directory";
}

// Fills `node` (a directory) with the entries of the directory at `path`.
// Every problem is noted and the scan goes on, so that one run names them all;
// entries with problems are left out of the tree.
void scanDirectory(Scan& scan, const std::string& path, ArchiveNode* node) {
    std::vector<std::string> names;
    if (!listHostDirectory(path, &names)) {
        scan.problems.push_back("cannot read directory '" + displayPath(path) + "'");
        return;
    }
    std::sort(names.begin(), names.end());

    std::vector<std::string> stored;  // code page 437 names, for the letter case test
    std::vector<std::string> storedPaths;
    for (const std::string& name : names) {
        const std::string childPath = hostChildPath(path, name);
        const std::string shown = "'" + displayPath(childPath) + "'";
        HostFileInfo info;
        if (!inspectHostPath(childPath, false, &info)) {
            scan.problems.push_back("cannot read " + shown);
            continue;
        }
        if (info.kind == HOST_FILE && scan.skipping && info.volume == scan.skip.volume &&
            info.file == scan.skip.file)
            continue;
        if (info.kind == HOST_OTHER) {
            scan.problems.push_back(shown + " " + otherKindText(childPath));
            continue;
        }
        bool usable = true;
        std::string cp437;
        if (!utf8ToCp437(name, &cp437)) {
            scan.problems.push_back(shown +
                                    ": the name has a character with no code page 437 form");
            usable = false;
        } else if (cp437.size() > DIR_NAME_SIZE) {
            scan.problems.push_back(shown + ": the name is " + std::to_string(cp437.size()) +
                                    " bytes, a record holds " + std::to_string(DIR_NAME_SIZE));
            usable = false;
        } else {
            for (size_t i = 0; i < stored.size(); ++i) {
                if (sameNameIgnoringCase(stored[i], cp437)) {
                    scan.problems.push_back("'" + displayPath(storedPaths[i]) + "' and " + shown +
                                            " differ only in letter case");
                    usable = false;
                    break;
                }
            }
        }
        if (info.kind == HOST_FILE && info.size > ARCHIVE_SIZE_LIMIT) {
            scan.problems.push_back(shown + " is larger than 4 GB, the most a record's size holds");
            usable = false;
        }
        if (usable) {
            if (outputPathFor(cp437) != name)
                scan.warnings.push_back(shown + " will be extracted as '" +
                                        displayPath(outputPathFor(cp437)) + "'");
            stored.push_back(cp437);
            storedPaths.push_back(childPath);
        }

        if (info.kind == HOST_DIRECTORY) {
            // Scanned even when its own name is refused, for the problems inside.
            ArchiveNode child = archiveDirectory(cp437);
            scanDirectory(scan, childPath, &child);
            if (usable)
                node->children.push_back(std::move(child));
        } else if (usable) {
            node->children.push_back(archiveFileFromDisk(cp437, childPath));
            ++scan.files;
            scan.bytes += info.size;
        }
    }
}

}  // namespace

int createMode(const std::string& archivePath, const std::string& directory, std::ostream& out,
               std::ostream& err) {
    HostFileInfo info;
    if (!inspectHostPath(directory, true, &info) || info.kind != HOST_DIRECTORY) {
        err << "dirrip: '" << displayPath(directory) << "' is not a directory\n";
        return 1;
    }
    Scan scan;
    scan.skipping = inspectHostPath(archivePath, true, &scan.skip) == 1;
    ArchiveNode root = archiveDirectory("");
    scanDirectory(scan, directory, &root);
    if (scan.problems.empty() && root.children.empty()) {
        err << "dirrip: '" << displayPath(directory)
            << "' is empty; an archive needs at least one entry; nothing written\n";
        return 1;
    }
    if (!scan.problems.empty()) {
        // What only the whole tree shows (its total size) is told as well.
        std::vector<std::string> layout;
        checkArchiveTree(root, &layout);
        for (const std::string& problem : layout) scan.problems.push_back(displayPath(problem));
        for (const std::string& problem : scan.problems) err << "dirrip: " << problem << "\n";
        err << "dirrip: " << counted(scan.problems.size(), "problem", "problems")
            << "; nothing written\n";
        return 1;
    }
    // An interrupt while writing removes the unfinished archive.
    installInterruptHandlers();
    std::string error;
    if (!writeArchiveFile(root, archivePath, &error)) {
        err << "dirrip: " << displayPath(error) << "; nothing written\n";
        return 1;
    }
    for (const std::string& warning : scan.warnings) err << "dirrip: note: " << warning << "\n";
    out << counted(scan.files, "file", "files") << ", " << counted(scan.bytes, "byte", "bytes")
        << "\n";
    return 0;
}
