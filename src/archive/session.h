// One opened archive: the file, opened once, and the entry tree loaded from
// it. Every front end (the browser, the command-line modes, the fuzz target,
// the benchmarks and the tests) opens archives through this; all file data is
// read through file(), the same open file the tree came from.
#pragma once

#include <cstdint>
#include <string>

#include "archive/entry.h"
#include "archive/loader.h"
#include "platform/archive_file.h"

class LoadObserver;

// How opening and loading an archive ended.
enum SessionStatus : int32_t {
    SESSION_OK = 0,           // the root holds at least one entry
    SESSION_OPEN_FAILED = 1,  // the file could not be opened (or is no regular file)
    SESSION_EMPTY = 2,        // the root listing yields no entry: not an archive
    SESSION_TOO_LARGE = 3,    // the load stopped at the cap on records
    SESSION_UNFINISHED = 4,   // an interrupted change could not be rolled back: not opened
};

class ArchiveSession {
  public:
    // Makes the root (kind KIND_ROOT, with an EntryInfo) and installs
    // releaseEntryInfo as releaseInfoHook, which every session's entries need.
    ArchiveSession();
    // Tears the whole tree down, without recursion, and closes the file.
    ~ArchiveSession();
    ArchiveSession(const ArchiveSession&) = delete;
    ArchiveSession& operator=(const ArchiveSession&) = delete;

    // Settles what an interrupted change left (archive/change.h: an
    // unfinished change is rolled back first, and recoveryNote() says so),
    // then opens the archive at `openPath` (exactly as given) once and loads its
    // tree under a root named `rootName`, reading at most `recordCap` records
    // (see loadRecordCap) and telling `observer` (when not null) what the
    // loader reads, mends and drops. Returns 1 when status() is SESSION_OK, 0
    // otherwise; the tree keeps whatever was read either way. A session is
    // opened once.
    int open(const char* openPath, const std::string& rootName, uint32_t recordCap = LOAD_ENTRY_CAP,
             LoadObserver* observer = nullptr);

    SessionStatus status() const { return status_; }
    // The system's words for why the file could not be opened (for
    // SESSION_UNFINISHED, why the change could not be rolled back); empty otherwise.
    const std::string& openError() const { return openError_; }
    // One line saying what opening settled first ("rolled back an unfinished
    // change: ..."), or that the journal beside the archive is not its own;
    // empty when there was nothing to say.
    const std::string& recoveryNote() const { return recoveryNote_; }

    Entry* root() { return &root_; }
    const Entry* root() const { return &root_; }
    // The open archive file, for reading file data.
    const ArchiveFile& file() const { return file_; }

  private:
    Entry root_;
    ArchiveFile file_;
    SessionStatus status_ = SESSION_OPEN_FAILED;
    std::string openError_;
    std::string recoveryNote_;
};
