#include "cli/open_archive.h"

#include "archive/load_observer.h"
#include "cli/display_name.h"
#include "text/counted.h"
#include "text/escape.h"

namespace {

// Counts what the loader mends or drops: each record dropped as a duplicate,
// each directory cut off as a cycle, each listing closed early or missing.
// Listings that several directories share are read whole each time and lose
// nothing, so they are left to --verify.
class DamageCounter : public LoadObserver {
  public:
    uint64_t count = 0;

    void listingRead(const Entry*, uint64_t, uint64_t, ListingEnd how) override {
        count += how != LISTING_COMPLETE;
    }
    void duplicateDropped(const Entry*, const std::string&, const Entry*) override { ++count; }
    void cycleCut(const Entry*, const DirRecord&) override { ++count; }
};

}  // namespace

int openArchiveForCommandLine(ArchiveSession& session, const std::string& path, std::ostream& err,
                              DamageNote note) {
    DamageCounter damage;
    const int opened =
        session.open(path.c_str(), path, LOAD_ENTRY_CAP, note == DAMAGE_NOTED ? &damage : nullptr);
    if (!session.recoveryNote().empty())
        err << "dirrip: " << displayPath(session.recoveryNote()) << "\n";
    if (opened) {
        if (damage.count > 0) {
            err << "dirrip: " << counted(damage.count, "record", "records")
                << " dropped or mended; --verify shows " << (damage.count == 1 ? "it" : "them")
                << "\n";
        }
        return 1;
    }
    const std::string shown = displayPath(path);
    switch (session.status()) {
        case SESSION_OPEN_FAILED:
        case SESSION_UNFINISHED:
            reportCannotOpen(path, session.openError(), err);
            break;
        case SESSION_TOO_LARGE:
            err << "dirrip: '" << shown << "' " << tooManyEntriesText(session.file().size())
                << "\n";
            break;
        default:
            err << "dirrip: '" << shown << "' has invalid format\n";
            break;
    }
    return 0;
}

void reportCannotOpen(const std::string& path, const std::string& openError, std::ostream& err) {
    err << "dirrip: cannot open '" << displayPath(path) << "'";
    if (!openError.empty())
        err << ": " << escapeControls(openError);
    err << "\n";
}

std::string tooManyEntriesText(uint64_t fileSize) {
    return "holds too many entries: " + recordCapText(fileSize);
}
