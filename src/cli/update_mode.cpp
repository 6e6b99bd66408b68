#include "cli/update_mode.h"

#include <ostream>

#include "archive/change.h"
#include "archive/session.h"
#include "cli/display_name.h"
#include "cli/open_archive.h"
#include "cli/update_scan.h"
#include "platform/edit_files.h"
#include "platform/host_files.h"
#include "text/counted.h"

namespace {

const char* actionWord(UpdateAction action) {
    switch (action) {
        case UPDATE_REPLACE:
            return "replaced";
        case UPDATE_ADD:
            return "added";
        case UPDATE_SAME:
            return "unchanged";
        case UPDATE_SKIP:
            break;
    }
    return "skipped";
}

// The files beside the archive that the directory may hold and that are
// never taken into it: the archive itself and its journal.
std::vector<UpdateOwnFile> ownFiles(const ArchiveSession& session, const std::string& archive) {
    std::vector<UpdateOwnFile> own{{session.file().stamp().identity, "the archive itself"}};
    HostFileInfo journal;
    if (inspectHostPath(journalPathFor(archive), true, &journal) && journal.kind == HOST_FILE)
        own.push_back({{journal.volume, journal.file}, "the archive's journal"});
    return own;
}

void printItem(const UpdateItem& item, std::ostream& out) {
    out << actionWord(item.action);
    for (size_t width = std::string(actionWord(item.action)).size(); width < 10; ++width)
        out << ' ';
    if (item.action == UPDATE_SKIP) {
        out << displayPath(item.diskPath) << ": " << item.why << "\n";
        return;
    }
    const std::string archivePath = displayName(item.archivePath);
    out << archivePath;
    // Where --extract had to change the name, the file it came from.
    if (displayPath(item.diskPath) != archivePath)
        out << "  (from " << displayPath(item.diskPath) << ")";
    out << "\n";
}

}  // namespace

int updateMode(const UpdateCommand& command, std::ostream& out, std::ostream& err) {
    ArchiveSession session;
    if (!openArchiveForCommandLine(session, command.archive, err, DAMAGE_NOTED))
        return 1;
    const std::string shownArchive = "'" + displayPath(command.archive) + "'";
    UpdateScan scan;
    std::string why;
    if (!scanUpdateDirectory(session.root(), session.file(), command.directory,
                             ownFiles(session, command.archive), command.addNew, &scan, &why)) {
        err << "dirrip: cannot update " << shownArchive << ": " << why << "\n";
        return 1;
    }
    if (!scan.problems.empty()) {
        for (const std::string& problem : scan.problems) err << "dirrip: " << problem << "\n";
        err << "dirrip: cannot update " << shownArchive << ": "
            << counted(scan.problems.size(), "problem", "problems")
            << "; the archive is unchanged\n";
        return 1;
    }

    uint64_t counts[4] = {};
    for (const UpdateItem& item : scan.items) ++counts[item.action];
    const std::string totals = counted(counts[UPDATE_REPLACE], "file replaced", "files replaced") +
                               ", " + counted(counts[UPDATE_ADD], "file added", "files added");
    ChangeReport report;
    if (!scan.requests.empty()) {
        ChangeOptions options;
        // The files were compared with the archive as loaded: a change made
        // since by anyone else must not be overwritten on that basis.
        options.loaded = &session.file().stamp();
        options.dryRun = command.dryRun;
        // The history names what the change did, without the parts it did not.
        std::string what;
        if (counts[UPDATE_REPLACE] > 0)
            what = counted(counts[UPDATE_REPLACE], "file replaced", "files replaced");
        if (counts[UPDATE_ADD] > 0)
            what += (what.empty() ? "" : ", ") +
                    counted(counts[UPDATE_ADD], "file added", "files added");
        options.description = "update from '" + command.directory + "': " + what;
        const int done = changeArchive(command.archive, scan.requests, options, &report);
        for (const std::string& line : report.settled)
            err << "dirrip: " << displayPath(line) << "\n";
        if (!done) {
            err << "dirrip: cannot update " << shownArchive << ": " << displayPath(report.why)
                << "\n";
            return 1;
        }
    }

    for (const UpdateItem& item : scan.items) printItem(item, out);
    out << totals << ", " << counted(counts[UPDATE_SAME], "file unchanged", "files unchanged");
    if (counts[UPDATE_SKIP] > 0)
        out << ", " << counts[UPDATE_SKIP] << " skipped";
    if (scan.absent > 0)
        out << "; " << counted(scan.absent, "file", "files")
            << " of the archive not in the directory, left alone";
    out << "\n";
    if (scan.requests.empty())
        out << "nothing to change; the archive is unchanged\n";
    for (const std::string& line : report.lines) out << displayPath(line) << "\n";
    if (command.dryRun && !scan.requests.empty())
        out << "dry run: the archive is unchanged\n";
    for (const std::string& note : scan.notes) err << "dirrip: note: " << note << "\n";
    for (const std::string& note : report.notes)
        err << "dirrip: note: " << displayPath(note) << "\n";
    return 0;
}
