// What the loader can tell about an archive while it reads it: every record and
// listing it reads, and everything it mends or drops on the way. `--verify`
// prints these; the browser and the other modes load without an observer.
#pragma once

#include <cstdint>
#include <string>

#include "archive/record.h"

class Entry;

// How the reading of a listing ended.
enum ListingEnd : int32_t {
    LISTING_COMPLETE = 0,   // at its end record
    LISTING_CUT_SHORT = 1,  // the file ends inside it, before an end record
    LISTING_OUTSIDE = 2,    // it starts at or past the end of the file
};

// Receives the loader's reports. Only the first reading of each listing is
// reported: a listing that several directory records share is read again for
// each of them (the tree holds a copy under each), but nothing inside those
// later readings is reported again. Entries passed in stay alive for as long
// as the tree does.
// Every operation does nothing unless overridden.
class LoadObserver {
  public:
    virtual ~LoadObserver() = default;

    // The load of a file of `fileSize` bytes begins.
    virtual void loadStarted(uint64_t fileSize) { (void)fileSize; }

    // A file or directory record at `position`, read into `directory`.
    virtual void recordRead(const Entry* directory, const DirRecord& record, uint64_t position) {
        (void)directory, (void)record, (void)position;
    }

    // The listing of `directory` that starts at `start` has been read up to
    // `end` (just past its end record, or where the file ends), ending `how`.
    virtual void listingRead(const Entry* directory, uint64_t start, uint64_t end, ListingEnd how) {
        (void)directory, (void)start, (void)end, (void)how;
    }

    // A record named `name` was dropped from `directory` because the earlier
    // child `kept` has the same name ignoring letter case. A dropped directory
    // record's listing is still read, into `kept`.
    virtual void duplicateDropped(const Entry* directory, const std::string& name,
                                  const Entry* kept) {
        (void)directory, (void)name, (void)kept;
    }

    // The directory record `record` of `directory` leads to a listing that is
    // still being read further up: it is not entered again, so the directory
    // it stands for holds only its "...".
    virtual void cycleCut(const Entry* directory, const DirRecord& record) {
        (void)directory, (void)record;
    }

    // The directory record `record` of `directory` leads to a listing read
    // before for the directory `first`: it is read again, and its entries
    // appear under both.
    virtual void listingShared(const Entry* directory, const DirRecord& record,
                               const Entry* first) {
        (void)directory, (void)record, (void)first;
    }
};
