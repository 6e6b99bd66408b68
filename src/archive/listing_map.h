// An archive's listings read raw, the way the loader walks them, for working
// out changes: each listing with its records and where it lies, each time the
// walk reads a listing (a reading) and into which directory, and the tree
// those readings make, with the records the loader drops beside the entries
// that hide them. The editor changes this map as it plans; nothing here writes.
//
// Sized for archives of millions of entries: an entry costs its record, one
// small node and two pointers, all in the map's arena, and the walk settles
// names the loader's way (by sorting each directory once) instead of looking
// every record up.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "archive/edit_arena.h"
#include "archive/entry.h"
#include "archive/layout.h"
#include "archive/record.h"
#include "platform/byte_store.h"

struct Reading;
struct ModelNode;
struct NodeExtra;

// One record of one reading of a listing.
struct RecordRef {
    Reading* reading = nullptr;
    uint32_t index = 0;
};

// A run of records closed by an end record, as it lies in the archive or as a
// change will write it.
struct Listing {
    explicit Listing(EditArena* arena)
        : records(ArenaAllocator<DirRecord>(arena)), original(ArenaAllocator<DirRecord>(arena)) {}

    uint64_t start = 0;  // where it lies
    uint64_t room = 0;   // bytes from `start` on that it may fill
    ArenaVector<DirRecord> records;
    DirRecord endRecord;     // written after the records
    bool terminated = true;  // read up to an end record (else cut short by the file's end)
    bool exclusive = false;  // nothing but its one reading uses its bytes: changed in place
    bool placed = false;     // put where it lies by this change: written whole

    // Changed where it lies: what it held as read, so that only what differs
    // is written.
    bool changed = false;
    uint32_t originalCount = 0;  // records as read
    bool originalTerminated = true;
    // Until records move within the listing, the records as read of the slots
    // changed in place; from then on every record as read, in `original`.
    std::map<uint32_t, DirRecord> saved;
    bool shifted = false;
    ArenaVector<DirRecord> original;
};

// One reading of a listing by the walk, into one directory of the tree.
struct Reading {
    explicit Reading(EditArena* arena)
        : slots(ArenaAllocator<ModelNode*>(arena)), children(ArenaAllocator<Reading*>(arena)) {}

    Listing* listing = nullptr;
    Reading* parent = nullptr;  // the reading whose directory record led here; null for the root
    uint32_t source = 0;        // that record's index in the parent's listing
    ModelNode* into = nullptr;  // the directory its records go into
    ArenaVector<ModelNode*> slots;   // per record, the entry it stands for or hides behind
    ArenaVector<Reading*> children;  // the readings its directory records led to
    bool alive = true;               // false once the change deleted what led here
};

// An entry of the tree the loader builds.
struct ModelNode {
    int32_t kind = KIND_FILE;
    bool cut = false;  // a directory record into it was cut at a cycle
    bool alive = true;
    bool retired = false;  // renamed or gone since the walk: found only through the map's additions
    bool added = false;    // in the map's additions
    ModelNode* parent = nullptr;
    RecordRef first;             // its record; none for the root and "..."
    NodeExtra* extra = nullptr;  // only for entries with dropped records or listings read into them

    // Later records of its name, which the loader drops.
    const ArenaVector<RecordRef>& hidden() const;
    // Listings read into it, in reading order.
    const ArenaVector<Reading*>& readings() const;
};

// What only some entries have.
struct NodeExtra {
    explicit NodeExtra(EditArena* arena)
        : hidden(ArenaAllocator<RecordRef>(arena)),
          readings(ArenaAllocator<Reading*>(arena)),
          children(ArenaAllocator<ModelNode*>(arena)),
          table(ArenaAllocator<uint64_t>(arena)) {}

    ArenaVector<RecordRef> hidden;
    ArenaVector<Reading*> readings;
    ModelNode* updir = nullptr;  // its "..." once a reading entered it
    // Its entries as the walk made them: in walk order while it runs (the
    // first `checked` free of names taken twice), then in the order of their
    // names with letter case folded, each name once.
    ArenaVector<ModelNode*> children;
    size_t checked = 0;
    // While the walk runs, once a directory record needs to know at once
    // which entry holds its name: the checked children by folded name.
    ArenaVector<uint64_t> table;
    size_t tableUsed = 0;
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
    using Readings = std::deque<Reading, ArenaAllocator<Reading>>;
    const Readings& readings() const { return readings_; }
    Readings& readings() { return readings_; }

    // Makes a new listing, reading or entry owned by the map.
    Listing* newListing();
    Reading* newReading(Listing* listing, Reading* parent, uint32_t source, ModelNode* into);
    // A new entry in `directory` standing for the record `first`, found by its name from now on.
    ModelNode* newNode(ModelNode* directory, int32_t kind, RecordRef first);
    // The node's extra part, made when it has none.
    NodeExtra* extra(ModelNode* node);

    // Takes `node` out of the name lookup (before its record's name changes or it goes).
    void unindex(ModelNode* node);
    // Puts `node` back into the name lookup under its record's current name.
    void index(ModelNode* node);

  private:
    void ensureUpdir(ModelNode* directory);
    // Walk steps: making entries, and settling names taken twice.
    ModelNode* makeNode(ModelNode* directory, int32_t kind, RecordRef first);
    ModelNode* walkChild(ModelNode* directory, const DirRecord& record, RecordRef ref);
    void catchUp(NodeExtra* extra);
    void hideBehind(ModelNode* kept, ModelNode* dropped);
    void settle(NodeExtra* extra);
    void countUses();
    // The folded name the lookup knows `node` by.
    std::string keyOf(const ModelNode* node) const;
    std::string addedKey(const ModelNode* directory, std::string_view name) const;

    EditArena arena_;  // first, so that it outlives everything in it
    std::deque<Listing, ArenaAllocator<Listing>> listings_;
    Readings readings_;
    std::deque<ModelNode, ArenaAllocator<ModelNode>> nodes_;
    std::deque<NodeExtra, ArenaAllocator<NodeExtra>> extras_;
    ModelNode* root_;
    bool walking_ = false;
    // Entries named since the walk, by directory and folded name; and the
    // folded names of the entries the walk named that have been renamed or gone since.
    std::unordered_map<std::string, ModelNode*> added_;
    std::unordered_map<const ModelNode*, std::string> retiredKeys_;
    std::unordered_map<uint64_t, uint32_t> cuts_;
    UsedRanges used_;
    uint64_t fileSize_ = 0;
};
