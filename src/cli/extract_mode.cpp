#include "cli/extract_mode.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ostream>

#include "archive/wildmatch.h"
#include "cli/open_archive.h"
#include "cli/display_name.h"
#include "archive/walk.h"
#include "text/cp437.h"
#include "output/confine.h"
#include "output/copy_out.h"
#include "output/free_space.h"
#include "output/output_name.h"

namespace {

// Creates `directory` and its missing parents, like mkdir -p.
bool makeBaseDirectory(const std::string& directory) {
    std::string path;
    size_t start = 0;
    while (start <= directory.size()) {
        size_t slash = directory.find('/', start);
        if (slash == std::string::npos)
            slash = directory.size();
        path = directory.substr(0, slash);
        if (!path.empty() && mkdir(path.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
        start = slash + 1;
    }
    struct stat info;
    return stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The on-disk path of an entry below its parent directory's on-disk path.
std::string joinOutput(const std::string& parent, const std::string& name) {
    std::string own = outputPathFor(name);
    if (parent.empty() || own.empty())
        return own.empty() ? std::string() : own;
    return parent + "/" + own;
}

// Shows "Extracting PATH NN%" on one terminal line, only when the text changes.
class ProgressLine {
  public:
    ProgressLine(std::ostream& err, bool enabled) : err_(err), enabled_(enabled) {}
    ~ProgressLine() { clear(); }
    void show(const std::string& path, uint64_t done, uint64_t size) {
        if (!enabled_)
            return;
        int percent = size == 0 ? 0 : int(done * 100 / size);
        if (path == path_ && percent == percent_)
            return;
        path_ = path;
        percent_ = percent;
        err_ << "\r\x1b[KExtracting " << path << " " << percent << "%" << std::flush;
        shown_ = true;
    }
    void clear() {
        if (shown_)
            err_ << "\r\x1b[K" << std::flush;
        shown_ = false;
    }

  private:
    std::ostream& err_;
    bool enabled_;
    bool shown_ = false;
    std::string path_;
    int percent_ = -1;
};

}  // namespace

bool extractWanted(const std::vector<std::string>& cp437Patterns, const std::string& archivePath,
                   const std::string& name) {
    if (cp437Patterns.empty())
        return true;
    for (const std::string& pattern : cp437Patterns) {
        if (wildMatch(pattern.c_str(), archivePath.c_str()) ||
            wildMatch(pattern.c_str(), name.c_str()))
            return true;
    }
    return false;
}

int extractMode(const ExtractOptions& options, std::ostream& out, std::ostream& err) {
    std::vector<std::string> patterns;
    for (const std::string& pattern : options.patterns) {
        std::string cp437;
        if (!utf8ToCp437(pattern, &cp437)) {
            err << "dirrip: the pattern '" << displayPath(pattern)
                << "' has a character with no code page 437 form\n";
            return 2;
        }
        patterns.push_back(cp437);
    }

    ArchiveSession session;
    if (!openArchiveForCommandLine(session, options.archivePath, err))
        return 1;
    int archiveFd = open(options.archivePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (archiveFd < 0) {
        err << "dirrip: cannot open '" << displayPath(options.archivePath) << "'\n";
        return 1;
    }
    if (!makeBaseDirectory(options.directory)) {
        err << "dirrip: cannot create directory '" << displayPath(options.directory) << "'\n";
        close(archiveFd);
        return 1;
    }
    int baseFd = open(options.directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (baseFd < 0) {
        err << "dirrip: cannot open directory '" << displayPath(options.directory) << "'\n";
        close(archiveFd);
        return 1;
    }

    std::vector<unsigned char> buffer(RIP_BLOCK_SIZE);
    ProgressLine progress(err, options.progress);
    std::string failure;
    uint64_t files = 0, bytes = 0, kept = 0;
    // On-disk paths of the directories being walked, by depth.
    std::vector<std::pair<const Entry*, std::string>> outputDirectories{{session.root(), ""}};

    walkTree(session.root(), [&](const Entry* entry, const std::string& path) {
        if (!failure.empty())
            return false;
        while (outputDirectories.back().first != entry->parent) outputDirectories.pop_back();
        std::string outputPath = joinOutput(outputDirectories.back().second, entry->name);
        std::string shown = displayName(path);

        if (entry->kind == KIND_SUBDIR) {
            outputDirectories.emplace_back(entry, outputPath);
            if (patterns.empty()) {
                std::string failed;
                int fd = openConfinedDirectory(baseFd, outputPath, &failed);
                if (fd < 0) {
                    failure = "cannot create directory '" + displayPath(failed) + "'";
                    return false;
                }
                close(fd);
            }
            return true;
        }
        if (entry->kind != KIND_FILE || !extractWanted(patterns, path, entry->name))
            return false;

        std::string leaf(outputLeafOf(outputPath));
        std::string failed;
        int directoryFd = openConfinedDirectory(baseFd, outputDirectoryOf(outputPath), &failed);
        if (directoryFd < 0) {
            failure = "cannot create directory '" + displayPath(failed) + "'";
            return false;
        }
        struct stat existing;
        if (options.keep && !leaf.empty() &&
            fstatat(directoryFd, leaf.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
            ++kept;
            close(directoryFd);
            return false;
        }
        if (freeSpaceQuery(options.directory.c_str()) < entry->size) {
            failure = "insufficient disk space to extract '" + shown + "'";
            close(directoryFd);
            return false;
        }
        CopyResult result = COPY_CREATE_FAILED;
        if (!leaf.empty()) {
            result = copyToNewFile(
                archiveFd, entry->info->offset, entry->size, directoryFd, leaf.c_str(),
                buffer.data(),
                [&](uint64_t done, uint64_t size) { progress.show(shown, done, size); },
                COPY_IN_KERNEL);
        }
        close(directoryFd);
        switch (result) {
            case COPY_DONE:
                ++files;
                bytes += entry->size;
                break;
            case COPY_CREATE_FAILED:
                failure = "cannot create '" + displayPath(outputPath) + "' for '" + shown + "'";
                break;
            case COPY_READ_FAILED:
                failure = "cannot read '" + shown + "' from the archive: it ends before the data";
                break;
            case COPY_WRITE_FAILED:
                failure = "cannot write '" + displayPath(outputPath) +
                          "': " + std::strerror(errno ? errno : EIO);
                break;
        }
        return false;
    });

    progress.clear();
    close(baseFd);
    close(archiveFd);
    if (!failure.empty()) {
        err << "dirrip: " << failure << "\n";
        return 1;
    }
    out << files << " files, " << bytes << " bytes";
    if (kept > 0)
        out << ", " << kept << " kept";
    out << "\n";
    return 0;
}
