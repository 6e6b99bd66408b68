#include "cli/archive_session.h"

#include "archive/loader.h"
#include "cli/display_name.h"

ArchiveSession::ArchiveSession(const std::string& path) {
    releaseInfoHook = releaseEntryInfo;
    root_.kind = KIND_ROOT;
    root_.name = path;
    root_.info = new EntryInfo();
    if (!loadArchive(path.c_str(), &root_)) {
        error_ = "cannot open '" + displayPath(path) + "'";
    } else if (loadCapReached()) {
        error_ = "'" + displayPath(path) + "' holds too many entries";
    } else if (root_.children.empty()) {
        error_ = "'" + displayPath(path) + "' has invalid format";
    }
}

ArchiveSession::~ArchiveSession() {
    destroyDescendants(&root_);
}
