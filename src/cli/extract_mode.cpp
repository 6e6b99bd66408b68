#include "cli/extract_mode.h"

#include <ostream>
#include <unordered_set>

#include "archive/search.h"
#include "archive/session.h"
#include "archive/walk.h"
#include "cli/display_name.h"
#include "cli/open_archive.h"
#include "cli/patterns.h"
#include "output/copy_out.h"
#include "output/output_name.h"
#include "output/output_plan.h"
#include "platform/output_files.h"
#include "text/counted.h"

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

// Why a file's data could not be read: how much of it lies past the end of
// the archive, when the archive is shorter than the record says.
std::string readFailure(const Entry* entry, uint64_t archiveSize) {
    const uint64_t offset = entry->info != nullptr ? entry->info->offset : 0;
    const uint64_t present = offset >= archiveSize ? 0 : archiveSize - offset;
    const std::string data =
        "its data (" + counted(entry->size, "byte", "bytes") + " at " + hexOffset(offset) + ")";
    if (present == 0)
        return data + " lies past the end of the archive";
    if (present < entry->size)
        return "the archive ends " + counted(entry->size - present, "byte", "bytes") + " before " +
               data + " does";
    return "it ends before the data";
}

}  // namespace

int extractMode(const ExtractOptions& options, std::ostream& out, std::ostream& err) {
    std::vector<std::string> patterns;
    if (!patternsToCp437(options.patterns, &patterns, err))
        return 2;

    ArchiveSession session;
    if (!openArchiveForCommandLine(session, options.archivePath, err, DAMAGE_NOTED))
        return 1;

    // The run's entries, in walk order: the directories and files the
    // patterns choose (everything without patterns; a directory a pattern
    // names is made even when empty and extracted whole). The walk below
    // meets them again in the same order.
    PatternChoice choice(patterns);
    std::vector<const Entry*> entries;
    std::unordered_set<const Entry*> chosen;
    walkTree(session.root(), [&](const Entry* entry, const std::string& path) {
        if (choice.choose(entry, path) &&
            (entry->kind == KIND_SUBDIR || entry->kind == KIND_FILE)) {
            entries.push_back(entry);
            chosen.insert(entry);
        }
        return entry->kind == KIND_SUBDIR;
    });
    // Every name is settled before the first file is written, so no file
    // lands under a name that another entry of the run has a better claim to.
    const OutputPlan plan = planOutput(session.root(), entries);
    PlannedPaths paths(plan);

    OutputRun run;
    int error = 0;
    if (!beginOutputRun(&run, options.directory.c_str(), true, &error)) {
        err << "dirrip: cannot create directory '" << displayPath(options.directory)
            << "': " << outputErrorText(error) << "\n";
        return 1;
    }
    for (uint32_t node : plan.numbered) {
        const PlannedNode& numbered = plan.nodes[node];
        err << "dirrip: '" << displayEntryPath(numbered.entry) << "' written as '"
            << displayPath(paths.of(numbered.entryNode)) << "': '"
            << displayPath(wantedPath(plan, node)) << "' is taken by '"
            << displayEntryPath(plan.nodes[numbered.holder].entry) << "'\n";
    }

    std::vector<unsigned char> buffer(RIP_BLOCK_SIZE);
    ProgressLine progress(err, options.progress);
    uint64_t files = 0, bytes = 0, kept = 0, failedFiles = 0, failedDirectories = 0;
    // A directory that cannot be made is named once, however many entries lead into it.
    std::unordered_set<std::string> reportedDirectories;
    auto fail = [&](const std::string& text) {
        progress.clear();
        err << "dirrip: " << text << "\n";
    };
    size_t index = 0;

    walkTree(session.root(), [&](const Entry* entry, const std::string& path) {
        const bool descend = entry->kind == KIND_SUBDIR;
        if (chosen.count(entry) == 0)
            return descend;
        const uint32_t node = plan.entryNodes[index++];
        const std::string shown = displayName(path);

        if (entry->kind == KIND_SUBDIR) {
            std::string failed;
            if (enterOutputDirectory(&run, paths.of(node), &failed, &error) ==
                    NO_OUTPUT_DIRECTORY &&
                reportedDirectories.insert(failed).second) {
                ++failedDirectories;
                fail("cannot create directory '" + displayPath(failed) +
                     "': " + outputErrorText(error));
            }
            return descend;
        }
        if (node == NO_PLANNED_NODE) {
            ++failedFiles;
            fail("cannot create a file for '" + shown + "': nothing is left of its name");
            return descend;
        }
        const std::string& outputPath = paths.of(node);

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
                return descend;
            case COPY_KEPT:
                ++kept;
                return descend;
            case COPY_CANCELLED:  // extraction asks no copy to stop
                return descend;
            case COPY_NO_ROOM:
                fail("insufficient disk space to extract '" + shown + "'");
                break;
            case COPY_MKDIR_FAILED:
                if (reportedDirectories.insert(result.path).second)
                    fail("cannot create directory '" + displayPath(result.path) + "'" + cause);
                fail("cannot extract '" + shown + "': its directory '" + displayPath(result.path) +
                     "' could not be made");
                break;
            case COPY_CREATE_FAILED:
                fail("cannot create '" + displayPath(outputPath) + "' for '" + shown + "'" + cause);
                break;
            case COPY_READ_FAILED:
                fail("cannot read '" + shown +
                     "' from the archive: " + readFailure(entry, session.file().size()));
                break;
            case COPY_WRITE_FAILED:
                fail("cannot write '" + displayPath(outputPath) + "'" + cause);
                break;
        }
        ++failedFiles;
        return descend;
    });

    progress.clear();
    endOutputRun(&run);
    out << counted(files, "file", "files") << ", " << counted(bytes, "byte", "bytes");
    if (kept > 0)
        out << ", " << kept << " kept";
    out << "\n";
    if (failedFiles > 0)
        err << "dirrip: " << counted(failedFiles, "file", "files") << " not extracted\n";
    const bool allMatched =
        reportUnmatchedPatterns(choice, options.patterns, options.archivePath, err);
    return failedFiles + failedDirectories > 0 || !allMatched ? 1 : 0;
}
