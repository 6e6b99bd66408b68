#include "cli/extract_mode.h"

#include <ostream>

#include "archive/search.h"
#include "archive/session.h"
#include "archive/walk.h"
#include "cli/display_name.h"
#include "cli/open_archive.h"
#include "cli/patterns.h"
#include "output/copy_out.h"
#include "output/output_name.h"
#include "platform/output_files.h"

namespace {

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

int extractMode(const ExtractOptions& options, std::ostream& out, std::ostream& err) {
    std::vector<std::string> patterns;
    if (!patternsToCp437(options.patterns, &patterns, err))
        return 2;

    ArchiveSession session;
    if (!openArchiveForCommandLine(session, options.archivePath, err))
        return 1;
    OutputRun run;
    int error = 0;
    if (!beginOutputRun(&run, options.directory.c_str(), true, &error)) {
        err << "dirrip: cannot create directory '" << displayPath(options.directory)
            << "': " << outputErrorText(error) << "\n";
        return 1;
    }

    std::vector<unsigned char> buffer(RIP_BLOCK_SIZE);
    ProgressLine progress(err, options.progress);
    std::string failure;
    uint64_t files = 0, bytes = 0, kept = 0;
    // The directories being walked, by depth: their claim in the run and the
    // length of their output path in `outputPath`, which holds the deepest
    // (one path, not one per level, so a deep chain costs linear memory).
    struct Place {
        const Entry* directory;
        uint32_t claim;
        size_t length;
    };
    std::vector<Place> places{{session.root(), 0, 0}};
    std::string outputPath;

    walkTree(session.root(), [&](const Entry* entry, const std::string& path) {
        if (!failure.empty())
            return false;
        while (places.back().directory != entry->parent) places.pop_back();
        outputPath.resize(places.back().length);
        const std::string own = outputPathFor(entry->name);
        const std::string shown = displayName(path);

        if (entry->kind == KIND_SUBDIR) {
            if (own.empty()) {
                // Nothing is left of the name: its contents go where it stands.
                places.push_back({entry, places.back().claim, outputPath.size()});
                return true;
            }
            uint32_t id = claimRelativePath(&run, places.back().claim, own, true, &outputPath);
            places.push_back({entry, id, outputPath.size()});
            if (patterns.empty()) {
                std::string failed;
                if (enterOutputDirectory(&run, outputPath, &failed, &error) ==
                    NO_OUTPUT_DIRECTORY) {
                    failure = "cannot create directory '" + displayPath(failed) +
                              "': " + outputErrorText(error);
                    return false;
                }
            }
            return true;
        }
        if (entry->kind != KIND_FILE || !matchesAnyPattern(patterns, path, entry->name))
            return false;
        if (own.empty()) {
            failure = "cannot create a file for '" + shown + "': nothing is left of its name";
            return false;
        }
        claimRelativePath(&run, places.back().claim, own, false, &outputPath);
        // A name an earlier file of this run took is written under another; say so.
        std::string wanted = outputPath.substr(0, places.back().length);
        wanted += (wanted.empty() ? "" : "/") + own;
        if (outputPath != wanted)
            err << "dirrip: '" << shown << "' written as '" << displayPath(outputPath) << "': '"
                << displayPath(wanted) << "' was taken by an earlier file\n";

        CopyOptions copyOptions;
        copyOptions.buffer = buffer.data();
        copyOptions.progress = [&](uint64_t done, uint64_t size) {
            progress.show(shown, done, size);
        };
        copyOptions.inKernel = true;
        copyOptions.keepExisting = options.keep;
        CopyResult result = copyEntryOut(&run, session.file(), entry, outputPath, copyOptions);
        const std::string cause = result.error != 0 ? ": " + outputErrorText(result.error) : "";
        switch (result.status) {
            case COPY_DONE:
                ++files;
                bytes += entry->size;
                break;
            case COPY_KEPT:
                ++kept;
                break;
            case COPY_CANCELLED:  // extraction asks no copy to stop
                break;
            case COPY_NO_ROOM:
                failure = "insufficient disk space to extract '" + shown + "'";
                break;
            case COPY_MKDIR_FAILED:
                failure = "cannot create directory '" + displayPath(result.path) + "'" + cause;
                break;
            case COPY_CREATE_FAILED:
                failure =
                    "cannot create '" + displayPath(outputPath) + "' for '" + shown + "'" + cause;
                break;
            case COPY_READ_FAILED:
                failure = "cannot read '" + shown + "' from the archive: it ends before the data";
                break;
            case COPY_WRITE_FAILED:
                failure = "cannot write '" + displayPath(outputPath) + "'" + cause;
                break;
        }
        return false;
    });

    progress.clear();
    endOutputRun(&run);
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
