// An archive's listings read raw, the way the loader walks them, for working
// out changes: each listing with its records and where it lies, each time the
// walk reads a listing (a reading) and into which directory, and the tree
// those readings make, with the records the loader drops beside the entries
// that hide them. The editor changes this map as it plans; nothing here writes.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "archive/entry.h"
#include "archive/layout.h"
#include "archive/record.h"
#include "platform/byte_store.h"

struct Reading;
struct ModelNode;

// One record of one reading of a listing.
struct RecordRef {
    Reading* reading = nullptr;
    uint32_t index = 0;
};

// A run of records closed by an end record, as it lies in the archive or as a
// change will write it.
struct Listing {
    uint64_t start = 0;  // where it lies
    uint64_t room = 0;   // bytes from `start` on that it may fill
    std::vector<DirRecord> records;
    DirRecord endRecord;     // written after the records
    bool terminated = true;  // read up to an end record (else cut short by the file's end)
    bool exclusive = false;  // nothing but its one reading uses its bytes: changed in place
    bool placed = false;     // put where it lies by this change: written whole
    bool changed = false;    // changed in place; `original` holds the records as read
    std::vector<DirRecord> original;
    bool originalTerminated = true;
};

// One reading of a listing by the walk, into one directory of the tree.
struct Reading {
    Listing* listing = nullptr;
    Reading* parent = nullptr;  // the reading whose directory record led here; null for the root
    uint32_t source = 0;        // that record's index in the parent's listing
    ModelNode* into = nullptr;  // the directory its records go into
    std::vector<ModelNode*> slots;   // per record, the entry it stands for or hides behind
    std::vector<Reading*> children;  // the readings its directory records led to
    bool alive = true;               // false once the change deleted what led here
};

// An entry of the tree the loader builds.
struct ModelNode {
    int32_t kind = KIND_FILE;
    ModelNode* parent = nullptr;
    RecordRef first;                 // its record; none for the root and "..."
    std::vector<RecordRef> hidden;   // later records of its name, which the loader drops
    std::vector<Reading*> readings;  // listings read into it, in reading order
    ModelNode* updir = nullptr;      // its "..." once a reading entered it
    bool cut = false;                // a directory record into it was cut at a cycle
    bool alive = true;
};

class ListingMap {
  public:
    ListingMap();
    ListingMap(const ListingMap&) = delete;
    ListingMap& operator=(const ListingMap&) = delete;

    // Reads every listing of `archive` as the loader would. Returns 1, or 0
    // with one line in `*why` when the archive cannot be read or the load
    // would stop at its cap on records.
    int read(const ByteSource& archive, std::string* why);

    ModelNode* root() { return root_; }
    // How many bytes the archive had, and what its listings and data use.
    uint64_t fileSize() const { return fileSize_; }
    const UsedRanges& used() const { return used_; }

    // The entry's name as the tree shows it ('\' for a stored '/').
    std::string nameOf(const ModelNode* node) const;
    // The record a node stands for; only for nodes with one.
    DirRecord& recordOf(const RecordRef& ref) const {
        return ref.reading->listing->records[ref.index];
    }

    // The child of `directory` whose name equals `name` ignoring letter case
    // ("..." included), or null.
    ModelNode* child(const ModelNode* directory, std::string_view name) const;

    // The entry at `path` (code page 437, '/' or '\' between names, letters
    // in any case) found exactly as the command line's lookup finds it, or null.
    ModelNode* find(const std::string& path) const;

    // How many directory records cut at a cycle lead to the listing at `start`.
    uint32_t cutsInto(uint64_t start) const;

    // Every reading made so far, in the order the walk made them.
    const std::deque<Reading>& readings() const { return readings_; }
    std::deque<Reading>& readings() { return readings_; }

    // Makes a new listing, reading or entry owned by the map.
    Listing* newListing();
    Reading* newReading(Listing* listing, Reading* parent, uint32_t source, ModelNode* into);
    // A new entry in `directory` standing for the record `first`, found by its name from now on.
    ModelNode* newNode(ModelNode* directory, int32_t kind, RecordRef first);

    // Takes `node` out of the name lookup (before its record's name changes or it goes).
    void unindex(ModelNode* node);
    // Puts `node` back into the name lookup under its record's current name.
    void index(ModelNode* node);

  private:
    uint64_t key(const ModelNode* directory, std::string_view name) const;
    void ensureUpdir(ModelNode* directory);

    std::deque<Listing> listings_;
    std::deque<Reading> readings_;
    std::deque<ModelNode> nodes_;
    ModelNode* root_;
    // Entries by directory and folded name: open addressing, linear probing.
    struct NameSlot {
        uint64_t key = 0;
        ModelNode* node = nullptr;  // null: empty; `&removed_`: taken out
    };
    void growNames();
    std::vector<NameSlot> names_;
    size_t namesUsed_ = 0;  // slots not empty, removed ones included
    ModelNode removed_;
    std::unordered_map<uint64_t, uint32_t> cuts_;
    UsedRanges used_;
    uint64_t fileSize_ = 0;
};
