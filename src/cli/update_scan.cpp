#include "cli/update_scan.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "archive/search.h"
#include "archive/walk.h"
#include "cli/display_name.h"
#include "output/output_name.h"
#include "output/output_plan.h"
#include "platform/host_files.h"
#include "text/ascii_fold.h"

namespace {

// Large enough that comparing a big file costs few reads, small enough to
// stay in the processor's caches.
constexpr size_t COMPARE_BLOCK_SIZE = 64 * 1024;

std::string quoted(const std::string& hostPath) {
    return "'" + displayPath(hostPath) + "'";
}

std::string quotedEntry(const std::string& cp437Path) {
    return "'" + displayName(cp437Path) + "'";
}

// Why something that is neither a file nor a directory is not taken: a
// symbolic link says so, since it is the usual surprise.
std::string otherKindText(const std::string& path) {
    HostFileInfo target;
    if (inspectHostPath(path, true, &target) && target.kind != HOST_OTHER)
        return "a symbolic link; links are not followed";
    return "neither a file nor a directory";
}

// Compares the `size` bytes of `archive` at `offset` with the file at
// `hostPath`, reading both in blocks of `buffer.size() / 2` bytes. Returns 1
// with `*same` telling whether they are equal (data that runs past the end
// of the archive is not); 0 when the file or the archive cannot be read, with
// the cause in `*why`.
int sameBytes(const ByteSource& archive, uint64_t offset, uint64_t size,
              const std::string& hostPath, std::vector<uint8_t>& buffer, bool* same,
              std::string* why) {
    ArchiveFile file;
    if (!file.open(hostPath.c_str(), why))
        return 0;
    *same = false;
    if (file.size() != size)
        return 1;
    const size_t block = buffer.size() / 2;
    uint8_t* const mine = buffer.data();
    uint8_t* const theirs = mine + block;
    for (uint64_t done = 0; done < size;) {
        const auto count = size_t(std::min<uint64_t>(block, size - done));
        const int64_t read = file.readAt(done, mine, count);
        if (read != int64_t(count)) {
            *why = read < 0 ? "a read failed" : "it became shorter while it was read";
            return 0;
        }
        const int64_t stored = archive.readAt(offset + done, theirs, count);
        if (stored < 0) {
            *why = "the archive could not be read";
            return 0;
        }
        if (stored != int64_t(count) || std::memcmp(mine, theirs, count) != 0)
            return 1;
        done += count;
    }
    *same = true;
    return 1;
}

// A directory on the way to a new file that the archive does not have yet.
struct NewName {
    std::string cp437;     // its name in the archive
    std::string diskPath;  // where it stands below the scanned directory
    std::string problem;   // why it cannot be a name in the archive (empty when it can)
};

// One directory on disk being walked.
struct Frame {
    std::string hostPath;
    std::string diskPath;
    uint32_t node = NO_PLANNED_NODE;   // the output directory --extract makes here, if any
    const Entry* directory = nullptr;  // the deepest archive directory it stands for
    std::vector<NewName> names;        // the directories below `directory` down to it
    std::vector<std::string> children;
    size_t next = 0;
};

// What is known of a name a new file puts into the archive.
struct NewPlace {
    std::string diskPath;
    bool directory = false;
};

class Scanner {
  public:
    Scanner(const Entry* root, const ByteSource& archive, const std::vector<UpdateOwnFile>& own,
            bool addNew, UpdateScan* scan)
        : root_(root),
          archive_(archive),
          own_(own),
          addNew_(addNew),
          scan_(*scan),
          rules_(platformOutputNameRules()),
          buffer_(2 * COMPARE_BLOCK_SIZE) {
        planExtraction();
    }

    int run(const std::string& directory, std::string* why) {
        directory_ = directory;
        Frame top;
        top.hostPath = directory;
        top.node = 0;
        top.directory = root_;
        if (!listHostDirectory(directory, &top.children)) {
            *why = quoted(directory) + " cannot be read";
            return 0;
        }
        std::sort(top.children.begin(), top.children.end());
        std::vector<Frame> stack;
        stack.push_back(std::move(top));
        while (!stack.empty()) {
            Frame& frame = stack.back();
            if (frame.next == frame.children.size()) {
                stack.pop_back();
                continue;
            }
            const std::string name = frame.children[frame.next++];
            Frame child;
            if (visit(frame, name, &child))
                stack.push_back(std::move(child));
        }
        for (size_t node = 0; node < fileOf_.size(); ++node)
            scan_.absent += fileOf_[node] != nullptr && !met_[node];
        return 1;
    }

  private:
    // The output tree a plain --extract writes, and which entry each of its
    // nodes comes from.
    void planExtraction() {
        const std::vector<const Entry*> entries = extractionEntries(root_);
        plan_ = planOutput(root_, entries, rules_);
        fileOf_.assign(plan_.nodes.size(), nullptr);
        directoryOf_.assign(plan_.nodes.size(), nullptr);
        met_.assign(plan_.nodes.size(), false);
        directoryOf_[0] = root_;
        // Directories come in walk order, so a directory of whose name
        // nothing is left finds its parent's node already taken and leaves
        // it; of directories that merged into one node, the first keeps it.
        for (size_t i = 0; i < entries.size(); ++i) {
            const uint32_t node = plan_.entryNodes[i];
            if (node == NO_PLANNED_NODE)
                continue;
            if (entries[i]->kind == KIND_FILE)
                fileOf_[node] = entries[i];
            else if (directoryOf_[node] == nullptr)
                directoryOf_[node] = entries[i];
        }
        for (uint32_t node = 1; node < plan_.nodes.size(); ++node)
            children_.emplace(childKey(plan_.nodes[node].parent, plan_.nodes[node].name), node);
    }

    std::string childKey(uint32_t parent, const std::string& name) const {
        return std::to_string(parent) + '/' + rules_.nameKey(name);
    }

    uint32_t plannedChild(uint32_t parent, const std::string& name) const {
        if (parent == NO_PLANNED_NODE)
            return NO_PLANNED_NODE;
        auto found = children_.find(childKey(parent, name));
        return found == children_.end() ? NO_PLANNED_NODE : found->second;
    }

    // A path below the scanned directory as the user would find it.
    std::string where(const std::string& diskPath) const {
        return quoted(hostChildPath(directory_, diskPath));
    }

    void item(UpdateAction action, const std::string& diskPath, const std::string& archivePath,
              const std::string& why = "") {
        scan_.items.push_back({action, diskPath, archivePath, why});
    }

    // Notes a reason to refuse the update, once however many files lead to it.
    void problem(const std::string& text) {
        if (said_.insert(text).second)
            scan_.problems.push_back(text);
    }

    // Looks at `name` inside `frame`. Returns true with `*child` set up when
    // it is a directory to walk next.
    bool visit(const Frame& frame, const std::string& name, Frame* child) {
        const std::string hostPath = hostChildPath(frame.hostPath, name);
        const std::string diskPath = frame.diskPath.empty() ? name : frame.diskPath + "/" + name;
        HostFileInfo info;
        std::string cause;
        if (!inspectHostPath(hostPath, false, &info, &cause)) {
            problem("cannot look at " + where(diskPath) + ": " + cause);
            return false;
        }
        const uint32_t node = plannedChild(frame.node, name);
        if (node != NO_PLANNED_NODE)
            met_[node] = true;
        if (info.kind == HOST_OTHER) {
            item(UPDATE_SKIP, diskPath, "", otherKindText(hostPath));
            return false;
        }
        if (info.kind == HOST_DIRECTORY) {
            if (node != NO_PLANNED_NODE && !plan_.nodes[node].directory) {
                item(UPDATE_SKIP, diskPath + "/", "",
                     "a directory, where --extract writes the file " +
                         quotedEntry(archivePathOf(fileOf_[node])));
                return false;
            }
            return enter(frame, name, hostPath, diskPath, node, child);
        }
        for (const UpdateOwnFile& own : own_) {
            if (own.identity == FileIdentity{info.volume, info.file}) {
                item(UPDATE_SKIP, diskPath, "", own.why);
                return false;
            }
        }
        if (node != NO_PLANNED_NODE && plan_.nodes[node].directory)
            item(UPDATE_SKIP, diskPath, "", "a file, where --extract makes a directory");
        else if (node != NO_PLANNED_NODE)
            compare(fileOf_[node], hostPath, diskPath, info.size);
        else if (!addNew_)
            item(UPDATE_SKIP, diskPath, "", "not in the archive; --add-new adds it");
        else
            add(frame, name, hostPath, diskPath, info.size);
        return false;
    }

    bool enter(const Frame& frame, const std::string& name, const std::string& hostPath,
               const std::string& diskPath, uint32_t node, Frame* child) {
        child->hostPath = hostPath;
        child->diskPath = diskPath;
        child->node = node;
        child->directory = node != NO_PLANNED_NODE ? directoryOf_[node] : nullptr;
        if (child->directory == nullptr) {
            // Not an archive directory (a new one, or one --extract makes
            // for a name holding '\'): new files go below the one it lies in.
            child->directory = frame.directory;
            child->names = frame.names;
            NewName made;
            made.diskPath = diskPath;
            if (!editNameFromUtf8(name, &made.cp437, &made.problem))
                made.problem = where(diskPath) + " cannot be added: " + made.problem;
            child->names.push_back(std::move(made));
        }
        if (!listHostDirectory(hostPath, &child->children)) {
            problem(where(diskPath) + " cannot be read");
            return false;
        }
        if (child->children.empty() && node == NO_PLANNED_NODE) {
            item(UPDATE_SKIP, diskPath + "/", "",
                 addNew_ ? "an empty directory; --add-new adds files" : "not in the archive");
            return false;
        }
        std::sort(child->children.begin(), child->children.end());
        return true;
    }

    void compare(const Entry* entry, const std::string& hostPath, const std::string& diskPath,
                 uint64_t size) {
        const std::string archivePath = archivePathOf(entry);
        bool same = false;
        if (size == entry->size) {
            std::string cause;
            const uint64_t offset = entry->info != nullptr ? entry->info->offset : 0;
            if (!sameBytes(archive_, offset, size, hostPath, buffer_, &same, &cause)) {
                problem("cannot read " + where(diskPath) + ": " + cause);
                return;
            }
        }
        if (same) {
            item(UPDATE_SAME, diskPath, archivePath);
            return;
        }
        // A path finds the first of the entries it can name; one that the
        // path leads past elsewhere cannot be changed by path.
        if (findByPath(root_, archivePath) != entry) {
            problem(where(diskPath) + " cannot be put back: the path " + quotedEntry(archivePath) +
                    " names another entry of the archive first");
            return;
        }
        request(EDIT_REPLACE, archivePath, hostPath, size);
        item(UPDATE_REPLACE, diskPath, archivePath);
    }

    void add(const Frame& frame, const std::string& name, const std::string& hostPath,
             const std::string& diskPath, uint64_t size) {
        std::vector<NewName> names = frame.names;
        NewName file;
        file.diskPath = diskPath;
        if (!editNameFromUtf8(name, &file.cp437, &file.problem))
            file.problem = where(diskPath) + " cannot be added: " + file.problem;
        names.push_back(std::move(file));

        // A new entry is named by its path, and a path cannot name a
        // directory whose own name holds the archive's '/'.
        for (const Entry* at = frame.directory; at->kind != KIND_ROOT; at = at->parent) {
            if (at->name.find('\\') != std::string::npos) {
                std::string stored = at->name;
                std::replace(stored.begin(), stored.end(), '\\', '/');
                problem(where(diskPath) + " cannot be added: it would go into the directory " +
                        quotedEntry(stored) + ", whose name holds '/', and no path names it");
                return;
            }
        }
        std::string archivePath = archivePathOf(frame.directory);
        std::string key = foldAsciiText(archivePath);
        for (size_t i = 0; i < names.size(); ++i) {
            const NewName& part = names[i];
            if (!part.problem.empty()) {
                problem(part.problem);
                return;
            }
            archivePath += (archivePath.empty() ? "" : "/") + part.cp437;
            key += "/" + foldAsciiText(part.cp437);
            if (i == 0) {
                if (const Entry* taken = existingChild(frame.directory, part.cp437)) {
                    problem(where(part.diskPath) + " cannot be added: it would be " +
                            quotedEntry(archivePath) + " in the archive, which holds " +
                            quotedEntry(archivePathOf(taken)) + " (letter case does not count)");
                    return;
                }
            }
            const bool directory = i + 1 < names.size();
            auto [place, fresh] = places_.try_emplace(key, NewPlace{part.diskPath, directory});
            if (!fresh && !(directory && place->second.directory &&
                            place->second.diskPath == part.diskPath)) {
                problem(where(place->second.diskPath) + " and " + where(part.diskPath) +
                        " would both be " + quotedEntry(archivePath) + " in the archive");
                return;
            }
            const std::string written = writtenPathFor(part.cp437, rules_);
            if (fresh && written != outputLeafOf(part.diskPath))
                scan_.notes.push_back(where(part.diskPath) + " will be extracted as '" +
                                      displayPath(written) + "'");
        }
        request(EDIT_ADD, archivePath, hostPath, size);
        item(UPDATE_ADD, diskPath, archivePath);
    }

    // The child of `directory` whose name equals `cp437` ignoring letter case, or null.
    const Entry* existingChild(const Entry* directory, const std::string& cp437) {
        auto [index, fresh] = childNames_.try_emplace(directory);
        if (fresh) {
            for (const Entry* child : directory->children)
                if (child->kind == KIND_SUBDIR || child->kind == KIND_FILE)
                    index->second.emplace(foldAsciiText(child->name), child);
        }
        auto found = index->second.find(foldAsciiText(cp437));
        return found == index->second.end() ? nullptr : found->second;
    }

    void request(EditOperation operation, const std::string& archivePath,
                 const std::string& hostPath, uint64_t size) {
        EditRequest request;
        request.operation = operation;
        request.path = archivePath;
        request.source = EDIT_SOURCE_HOST_FILE;
        request.hostPath = hostPath;
        request.hostSize = size;
        scan_.requests.push_back(std::move(request));
    }

    const Entry* root_;
    std::string directory_;
    const ByteSource& archive_;
    const std::vector<UpdateOwnFile>& own_;
    bool addNew_;
    UpdateScan& scan_;
    OutputNameRules rules_;
    std::vector<uint8_t> buffer_;

    OutputPlan plan_;
    std::vector<const Entry*> fileOf_;       // per node: the file it is written for
    std::vector<const Entry*> directoryOf_;  // per node: the archive directory it is made for
    std::vector<bool> met_;                  // per node: something stands at its path on disk
    std::unordered_map<std::string, uint32_t> children_;  // childKey -> node

    std::unordered_map<std::string, NewPlace> places_;  // folded archive path -> what claims it
    std::unordered_map<const Entry*, std::unordered_map<std::string, const Entry*>> childNames_;
    std::unordered_set<std::string> said_;
};

}  // namespace

int scanUpdateDirectory(const Entry* root, const ByteSource& archive, const std::string& directory,
                        const std::vector<UpdateOwnFile>& ownFiles, bool addNew, UpdateScan* scan,
                        std::string* why) {
    HostFileInfo info;
    if (!inspectHostPath(directory, true, &info) || info.kind != HOST_DIRECTORY) {
        *why = quoted(directory) + " is not a directory";
        return 0;
    }
    *scan = UpdateScan{};
    Scanner scanner(root, archive, ownFiles, addNew, scan);
    return scanner.run(directory, why);
}
