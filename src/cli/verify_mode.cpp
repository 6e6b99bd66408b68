// The loader reports what it reads, mends and drops; this turns the reports
// into findings, checks each record's data against the file, and then walks
// the loaded tree once for the paths extraction would write.
#include "cli/verify_mode.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <ostream>
#include <unordered_map>

#include "archive/load_observer.h"
#include "archive/walk.h"
#include "cli/display_name.h"
#include "cli/open_archive.h"
#include "output/output_name.h"
#include "text/cp437.h"

namespace {

std::string hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%08" PRIx64, value);
    return text;
}

// The archive path of the entry `name` of `directory`. Built only for a
// finding, so that deep trees do not pay for a path per record.
std::string pathIn(const Entry* directory, const std::string& name) {
    std::string path = archivePathOf(directory);
    appendPathLevel(&path, name, '/');
    return path;
}

std::string shownPath(const Entry* entry) {
    const std::string path = archivePathOf(entry);
    return path.empty() ? "/" : displayName(path);
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

// What extraction would write for a name that needed no change at all.
std::string plainOutputPath(const std::string& name) {
    std::string path = cp437TextToUtf8(name);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

struct ListingRange {
    uint64_t start;
    uint64_t end;
    const Entry* directory;
};

// An output path known by its hash and length (see checkOutputPaths).
struct OutputLevel {
    uint64_t hash;
    size_t length;
};

// The output path of an entry whose own part is `own` below a directory whose
// output path is `parent`, joined as extraction joins them: an entry whose own
// part is empty has an empty path, and paths below an empty parent start afresh.
OutputLevel joinOutput(const OutputLevel& parent, const std::string& own) {
    constexpr uint64_t PRIME = 0x100000001B3ull;
    if (own.empty())
        return {0, 0};
    OutputLevel level = parent;
    if (level.length > 0) {
        level.hash = (level.hash ^ '/') * PRIME;
        ++level.length;
    }
    for (char c : own) level.hash = (level.hash ^ static_cast<unsigned char>(c)) * PRIME;
    level.length += own.size();
    return level;
}

// The output path extraction gives `entry`, built from the root down.
std::string outputPathOf(const Entry* entry) {
    std::vector<const Entry*> chain;
    for (const Entry* e = entry; e->parent != nullptr; e = e->parent) chain.push_back(e);
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const std::string own = outputPathFor((*it)->name);
        if (own.empty())
            path.clear();
        else
            path = path.empty() ? own : path + "/" + own;
    }
    return path;
}

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
                     displayPath(outputPathFor(name)) + "'");
        } else if (outputPathFor(name) != plainOutputPath(name)) {
            find(pathIn(directory, name),
                 "would be extracted as '" + displayPath(outputPathFor(name)) + "'");
        }
        if (isDirectory)
            return;
        const uint64_t end = uint64_t{record.offset} + record.size;
        if (end > report_.archiveSize) {
            find(pathIn(directory, name), "its data (" + std::to_string(record.size) +
                                              " bytes at " + hex(record.offset) +
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
                 "its listing at " + hex(start) + " lies past the end of the archive");
        else if (how == LISTING_CUT_SHORT)
            find(archivePathOf(directory),
                 "its listing is cut short at " + hex(end) + " (no end record)");
        if (end > start)
            listings_.push_back({start, end, directory});
    }

    void duplicateDropped(const Entry* directory, const std::string& name,
                          const Entry* kept) override {
        find(pathIn(directory, name), "is dropped: the same name as '" +
                                          displayName(archivePathOf(kept)) +
                                          "' ignoring letter case");
    }

    void cycleCut(const Entry* directory, const DirRecord& record) override {
        find(pathIn(directory, recordEntryName(record)), "leads back into the listing at " +
                                                             hex(record.offset) +
                                                             ", which encloses it (a cycle)");
    }

    void listingShared(const Entry* directory, const DirRecord& record,
                       const Entry* first) override {
        find(pathIn(directory, recordEntryName(record)),
             "shares its listing at " + hex(record.offset) + " with '" + shownPath(first) + "'");
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
                find(pathIn(file.directory, file.name), "its data overlaps the listing at " +
                                                            hex(listing.start) + " of '" +
                                                            shownPath(listing.directory) + "'");
            }
        }
    }

    // Entries that extraction would write where an earlier entry is written.
    // Each output path is known by a hash built up along the walk, so the
    // check stays linear however deep the tree; paths are compared in full
    // only when two hashes meet.
    void checkOutputPaths(const Entry* root) {
        std::vector<OutputLevel> levels{{0, 0}};
        std::unordered_map<uint64_t, const Entry*> taken;
        TreeWalk walk(root, WALK_WITHOUT_PATHS);
        while (walk.next()) {
            if (walk.step() == WALK_LEAVE || walk.entry() == root)
                continue;
            const Entry* entry = walk.entry();
            const size_t depth = walk.depth();
            const OutputLevel own = joinOutput(levels[depth - 1], outputPathFor(entry->name));
            if (walk.step() == WALK_ENTER) {
                levels.resize(depth + 1);
                levels[depth] = own;
            }
            if (own.length == 0)
                continue;
            const uint64_t key = own.hash ^ (uint64_t{own.length} * 0x9E3779B97F4A7C15ull);
            auto [first, isNew] = taken.emplace(key, entry);
            if (isNew)
                continue;
            const bool bothDirectories =
                entry->kind == KIND_SUBDIR && first->second->kind == KIND_SUBDIR;
            const std::string output = outputPathOf(entry);
            if (bothDirectories || output != outputPathOf(first->second))
                continue;
            find(archivePathOf(entry), "would be extracted to '" + displayPath(output) +
                                           "', where '" + shownPath(first->second) + "' goes too");
        }
    }

  private:
    void find(const std::string& path, const std::string& text) {
        report_.findings.push_back({path.empty() ? "/" : path, text});
    }

    VerifyReport& report_;
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
    if (report.status == SESSION_TOO_LARGE) {
        report.findings.push_back(
            {"/", "holds too many entries: the check stopped after " +
                      std::to_string(loadRecordCap(report.archiveSize, LOAD_ENTRY_CAP)) +
                      " records"});
    }
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
    for (const VerifyFinding& finding : report.findings)
        out << displayName(finding.path) << ": " << finding.text << "\n";
    if (report.files + report.directories == 0)
        out << displayPath(path) << ": no entries (not a DIR archive)\n";
    out << report.findings.size() << " findings in " << report.files << " files, "
        << report.directories << " directories, " << report.listings << " listings ("
        << report.archiveSize << " bytes)\n";
    return report.findings.empty() && report.files + report.directories > 0 ? 0 : 1;
}
