#include "browser/reload.h"

#include "archive/session.h"
#include "browser/messages.h"
#include "browser/state.h"
#include "browser/view_place.h"
#include "platform/archive_file.h"
#include "text/cause.h"
#include "text/host_text.h"

namespace {

// Why a session could not be shown, in the words of the end messages.
std::string whyNotLoaded(const ArchiveSession& session) {
    switch (session.status()) {
        case SESSION_OPEN_FAILED:
        case SESSION_UNFINISHED:
            return hostTextToCp437(asCause(session.openError()));
        case SESSION_EMPTY:
            return "it holds no entry any more";
        case SESSION_TOO_LARGE:
            return "it holds more entries than can be loaded";
        default:
            return "";
    }
}

}  // namespace

ArchiveOnDisk archiveOnDisk() {
    // A second look through a file of its own: the open one keeps the stamp
    // it had, and a file put in its place under the same name is not it.
    ArchiveFile now;
    if (!now.open(browser.openPath.c_str()))
        return ARCHIVE_UNREADABLE;
    const FileStamp& loaded = browser.session->file().stamp();
    if (now.stamp().identity != loaded.identity)
        return ARCHIVE_REPLACED;
    return now.stamp() == loaded ? ARCHIVE_UNCHANGED : ARCHIVE_CHANGED;
}

int reloadArchive(std::string* note, std::string* why) {
    note->clear();
    why->clear();
    ArchiveSession* fresh = new ArchiveSession;
    fresh->open(browser.openPath.c_str(), browser.root->name);
    if (fresh->status() != SESSION_OK) {
        *why = whyNotLoaded(*fresh);
        delete fresh;
        return 0;
    }
    const ViewPlace place = placeOf(browser.panel);
    applyMarks(fresh->root(), marksOf(browser.root));
    restorePlace(browser.panel, fresh->root(), place);
    *note = hostTextToCp437(fresh->recoveryNote());
    delete browser.session;
    browser.session = fresh;
    browser.root = fresh->root();
    return 1;
}
