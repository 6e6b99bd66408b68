#include "cli/open_archive.h"

#include "cli/display_name.h"
#include "text/escape.h"

int openArchiveForCommandLine(ArchiveSession& session, const std::string& path, std::ostream& err) {
    const int opened = session.open(path.c_str(), path);
    if (!session.recoveryNote().empty())
        err << "dirrip: " << displayPath(session.recoveryNote()) << "\n";
    if (opened)
        return 1;
    const std::string shown = displayPath(path);
    switch (session.status()) {
        case SESSION_OPEN_FAILED:
        case SESSION_UNFINISHED:
            reportCannotOpen(path, session.openError(), err);
            break;
        case SESSION_TOO_LARGE:
            err << "dirrip: '" << shown << "' holds too many entries\n";
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
