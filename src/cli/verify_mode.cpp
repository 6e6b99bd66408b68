// The loader reports what it reads, mends and drops; this turns the reports
// into findings, checks each record's data against the file, and then walks
// the loaded tree once for the paths extraction would write.
#include "cli/verify_mode.h"

#include <algorithm>
#include <ostream>
#include <unordered_map>
#include <unordered_set>

#include "archive/load_observer.h"
#include "archive/walk.h"
#include "cli/display_name.h"
#include "cli/open_archive.h"
#include "output/output_name.h"
#include "output/output_plan.h"
#include "text/counted.h"

namespace {

// The archive path of the entry `name` of `directory`. Built only for a
// finding, so that deep trees do not pay for a path per record.
std::string pathIn(const Entry* directory, const std::string& name) {
    std::string path = archivePathOf(directory);
    appendPathLevel(&path, name, '/');
    return path;
}

// True when the name, or a part of it between '\' separators, is just ".".
bool hasDotPart(const std::string& name) {
    size_t start = 0;
    for (;;) {
        const size_t end = std::min(name.find('\\', start), name.size());
        if (end - start == 1 && name[start] == '.')
            return true;
        if (end == name.size())
            return false;
        start = end + 1;
    }
}

struct ListingRange {
    uint64_t start;
    uint64_t end;
    const Entry* directory;
};

struct FileData {
    uint64_t start;
    uint64_t end;
    const Entry* directory;
    std::string name;
};

class Verifier : public LoadObserver {
  public:
    explicit Verifier(VerifyReport& report) : report_(report) {}

    void loadStarted(uint64_t fileSize) override { report_.archiveSize = fileSize; }

    void recordRead(const Entry* directory, const DirRecord& record, uint64_t) override {
        const std::string name = recordEntryName(record);
        const bool isDirectory = record.type == TYPE_DIRECTORY;
        isDirectory ? ++report_.directories : ++report_.files;
        if (name.empty()) {
            find(pathIn(directory, name), "has an empty name");
        } else if (hasDotPart(name)) {
            find(pathIn(directory, name),
                 std::string(name == "." ? "is only '.'" : "has a part that is only '.'") +
                     ", the directory itself on disk: it would be extracted as '" +
                     displayPath(writtenPathFor(name)) + "'");
        } else if (writtenPathFor(name) != plainOutputPath(name)) {
            find(pathIn(directory, name),
                 "would be extracted as '" + displayPath(writtenPathFor(name)) + "'");
        }
        if (isDirectory)
            return;
        const uint64_t end = uint64_t{record.offset} + record.size;
        if (end > report_.archiveSize) {
            find(pathIn(directory, name), "its data (" + counted(record.size, "byte", "bytes") +
                                              " at " + hexOffset(record.offset) +
                                              ") runs past the end of the archive");
        } else if (record.size > 0) {
            files_.push_back({record.offset, end, directory, name});
        }
    }

    void listingRead(const Entry* directory, uint64_t start, uint64_t end,
                     ListingEnd how) override {
        ++report_.listings;
        if (how == LISTING_OUTSIDE)
            find(archivePathOf(directory),
                 "its listing at " + hexOffset(start) + " lies past the end of the archive");
        else if (how == LISTING_CUT_SHORT)
            find(archivePathOf(directory),
                 "its listing is cut short at " + hexOffset(end) + " (no end record)");
        if (end > start)
            listings_.push_back({start, end, directory});
    }

    void duplicateDropped(const Entry* directory, const std::string& name,
                          const Entry* kept) override {
        find(pathIn(directory, name), "is dropped: the same name as '" +
                                          displayName(archivePathOf(kept)) +
                                          "' ignoring letter case");
        // A dropped directory record leads into the entry kept, even a file;
        // what it brings there is counted once the load is over.
        if (kept->kind == KIND_FILE && hostsSeen_.insert(kept).second)
            hosts_.push_back(kept);
    }

    void cycleCut(const Entry* directory, const DirRecord& record) override {
        find(pathIn(directory, recordEntryName(record)), "leads back into the listing at " +
                                                             hexOffset(record.offset) +
                                                             ", which encloses it (a cycle)");
    }

    void listingShared(const Entry* directory, const DirRecord& record,
                       const Entry* first) override {
        find(pathIn(directory, recordEntryName(record)), "shares its listing at " +
                                                             hexOffset(record.offset) + " with '" +
                                                             displayEntryPath(first) + "'");
    }

    // Files that directory records of their names led the loader into: what
    // they hold is neither listed nor extracted, and the user should know how much.
    void checkFilesHoldingEntries() {
        for (const Entry* file : hosts_) {
            uint64_t hidden = 0;
            for (TreeWalk walk(file, WALK_EVERY_ENTRY); walk.next();) {
                hidden += walk.step() != WALK_LEAVE && walk.entry() != file &&
                          walk.entry()->kind != KIND_UPDIR;
            }
            if (hidden > 0) {
                find(archivePathOf(file), "is a file, yet a directory record of its name put " +
                                              counted(hidden, "entry", "entries") +
                                              " below it: they are neither listed nor extracted");
            }
        }
    }

    // File data that lies over a listing's records.
    void checkOverlaps() {
        std::sort(listings_.begin(), listings_.end(),
                  [](const ListingRange& a, const ListingRange& b) { return a.start < b.start; });
        // reach[i]: the listing reaching furthest among the first i + 1, since
        // a hostile archive may start one listing inside another.
        std::vector<size_t> reach(listings_.size());
        for (size_t i = 0; i < listings_.size(); ++i) {
            reach[i] = i > 0 && listings_[reach[i - 1]].end >= listings_[i].end ? reach[i - 1] : i;
        }
        for (const FileData& file : files_) {
            const auto after = std::lower_bound(
                listings_.begin(), listings_.end(), file.end,
                [](const ListingRange& listing, uint64_t end) { return listing.start < end; });
            if (after == listings_.begin())
                continue;
            const ListingRange& listing = listings_[reach[size_t(after - listings_.begin()) - 1]];
            if (listing.end > file.start) {
                find(pathIn(file.directory, file.name),
                     "its data overlaps the listing at " + hexOffset(listing.start) + " of '" +
                         displayEntryPath(listing.directory) + "'");
            }
        }
    }

    // Entries whose output names meet another's: the plan of a plain
    // extraction gives all but one of them a numbered name.
    void checkOutputPaths(const Entry* root) {
        const OutputPlan plan = planOutput(root, extractionEntries(root));
        PlannedPaths paths(plan);
        for (uint32_t node : plan.numbered) {
            const PlannedNode& numbered = plan.nodes[node];
            find(archivePathOf(numbered.entry),
                 "would be extracted to '" + displayPath(wantedPath(plan, node)) + "', where '" +
                     displayEntryPath(plan.nodes[numbered.holder].entry) +
                     "' goes too; it is written as '" + displayPath(paths.of(numbered.entryNode)) +
                     "'");
        }
    }

  private:
    void find(const std::string& path, const std::string& text) {
        report_.findings.push_back({path.empty() ? "/" : path, text});
    }

    VerifyReport& report_;
    std::vector<const Entry*> hosts_;  // files that a dropped directory record led into
    std::unordered_set<const Entry*> hostsSeen_;
    std::vector<ListingRange> listings_;
    std::vector<FileData> files_;
};

}  // namespace

VerifyReport verifyArchive(const std::string& path) {
    VerifyReport report;
    Verifier verifier(report);
    ArchiveSession session;
    session.open(path.c_str(), path, LOAD_ENTRY_CAP, &verifier);
    report.status = session.status();
    report.openError = session.openError();
    report.recoveryNote = session.recoveryNote();
    if (report.status == SESSION_OPEN_FAILED || report.status == SESSION_UNFINISHED)
        return report;
    if (report.status == SESSION_TOO_LARGE)
        report.findings.push_back({"/", tooManyEntriesText(report.archiveSize)});
    verifier.checkFilesHoldingEntries();
    verifier.checkOverlaps();
    verifier.checkOutputPaths(session.root());
    return report;
}

int verifyMode(const std::string& path, std::ostream& out, std::ostream& err) {
    VerifyReport report = verifyArchive(path);
    if (!report.recoveryNote.empty())
        err << "dirrip: " << displayPath(report.recoveryNote) << "\n";
    if (report.status == SESSION_OPEN_FAILED || report.status == SESSION_UNFINISHED) {
        reportCannotOpen(path, report.openError, err);
        return 1;
    }
    if (report.files + report.directories == 0) {
        // Nothing to check and nothing to count: a summary of "0 findings"
        // would read as a clean bill of health.
        err << "dirrip: '" << displayPath(path)
            << "' is not a DIR archive: its first listing holds no entry\n";
        return 1;
    }
    for (const VerifyFinding& finding : report.findings)
        out << displayName(finding.path) << ": " << finding.text << "\n";
    out << counted(report.findings.size(), "finding", "findings") << " in "
        << counted(report.files, "file", "files") << ", "
        << counted(report.directories, "directory", "directories") << ", "
        << counted(report.listings, "listing", "listings") << " ("
        << counted(report.archiveSize, "byte", "bytes") << ")\n";
    return report.findings.empty() ? 0 : 1;
}
