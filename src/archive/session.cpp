#include "archive/session.h"

#include "archive/change.h"

ArchiveSession::ArchiveSession() {
    releaseInfoHook = releaseEntryInfo;
    root_.kind = KIND_ROOT;
    root_.info = new EntryInfo();
}

ArchiveSession::~ArchiveSession() {
    destroyDescendants(&root_);
}

int ArchiveSession::open(const char* openPath, const std::string& rootName, uint32_t recordCap,
                         LoadObserver* observer) {
    root_.name = rootName;
    // A half-made change is never shown: it is rolled back before the file
    // is opened, or the archive is not opened at all.
    if (!settleArchive(openPath, &recoveryNote_, &openError_)) {
        status_ = SESSION_UNFINISHED;
        return 0;
    }
    if (!file_.open(openPath, &openError_)) {
        status_ = SESSION_OPEN_FAILED;
        return 0;
    }
    const bool capped = loadArchiveFrom(file_, &root_, recordCap, observer);
    if (capped)
        status_ = SESSION_TOO_LARGE;
    else if (root_.children.empty())
        status_ = SESSION_EMPTY;
    else
        status_ = SESSION_OK;
    return status_ == SESSION_OK ? 1 : 0;
}
