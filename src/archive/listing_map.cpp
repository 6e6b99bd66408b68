// The walk repeats the loader's rules step for step (depth first, listings
// still being read are not entered again, the same cap on records), because a
// change is only sound if the tree worked out here is the tree the loader
// will build. The editor's verification loads the result with the real loader
// to catch any difference.
//
// Like the loader, the walk does not look every record's name up: a file
// record is appended to its directory unchecked, and names taken twice are
// settled in bulk when the walk ends (listing_names.cpp).
#include "archive/listing_map.h"

#include <algorithm>
#include <unordered_set>

#include "archive/loader.h"
#include "archive/record_reader.h"

namespace {

bool isEntryRecord(uint32_t type) {
    return type == TYPE_FILE || type == TYPE_DIRECTORY;
}

// Reads the listing at `listing->start` up to its end record (or the file's
// end): counted first, so that its records take exactly the room they need.
int readListing(RecordReader& source, Listing* listing, uint32_t cap, std::string* why) {
    const unsigned char* bytes = nullptr;
    uint64_t position = listing->start;
    size_t count = 0;
    int got = 0;
    while ((got = source.read(position, &bytes)) == 1 &&
           isEntryRecord(decodeFixed32(bytes + DIR_TYPE_OFFSET) ^ DIR_TYPE_FILL)) {
        // The walk stops at the cap anyway; this spares the room.
        if (++count > cap) {
            *why = "the archive holds more records than one load reads; it cannot be changed";
            return 0;
        }
        position += DIR_RECORD_SIZE;
    }
    if (got < 0) {
        *why = "cannot read the archive's listings";
        return 0;
    }
    listing->terminated = got == 1;
    if (got == 1)
        listing->endRecord = decodeDirRecord(bytes);
    // The end record, or the bytes that could not make one, decide where the
    // listing ends: they are part of it.
    listing->room = position - listing->start + DIR_RECORD_SIZE;
    listing->records.resize(count);
    for (size_t i = 0; i < count; ++i) {
        if (source.read(listing->start + i * DIR_RECORD_SIZE, &bytes) != 1) {
            *why = "cannot read the archive's listings";
            return 0;
        }
        listing->records[i] = decodeDirRecord(bytes);
    }
    return 1;
}

}  // namespace

const ArenaVector<RecordRef>& ModelNode::hidden() const {
    static const ArenaVector<RecordRef> none;
    return extra != nullptr ? extra->hidden : none;
}

const ArenaVector<Reading*>& ModelNode::readings() const {
    static const ArenaVector<Reading*> none;
    return extra != nullptr ? extra->readings : none;
}

ListingMap::ListingMap()
    : listings_(ArenaAllocator<Listing>(&arena_)),
      readings_(ArenaAllocator<Reading>(&arena_)),
      nodes_(ArenaAllocator<ModelNode>(&arena_)),
      extras_(ArenaAllocator<NodeExtra>(&arena_)) {
    nodes_.emplace_back();
    root_ = &nodes_.back();
    root_->kind = KIND_ROOT;
}

Listing* ListingMap::newListing() {
    listings_.emplace_back(&arena_);
    return &listings_.back();
}

NodeExtra* ListingMap::extra(ModelNode* node) {
    if (node->extra == nullptr) {
        extras_.emplace_back(&arena_);
        node->extra = &extras_.back();
    }
    return node->extra;
}

Reading* ListingMap::newReading(Listing* listing, Reading* parent, uint32_t source,
                                ModelNode* into) {
    readings_.emplace_back(&arena_);
    Reading* reading = &readings_.back();
    reading->listing = listing;
    reading->parent = parent;
    reading->source = source;
    reading->into = into;
    if (parent != nullptr)
        parent->children.push_back(reading);
    extra(into)->readings.push_back(reading);
    if (into != root_)
        ensureUpdir(into);
    return reading;
}

ModelNode* ListingMap::makeNode(ModelNode* directory, int32_t kind, RecordRef first) {
    nodes_.emplace_back();
    ModelNode* node = &nodes_.back();
    node->kind = kind;
    node->parent = directory;
    node->first = first;
    return node;
}

ModelNode* ListingMap::newNode(ModelNode* directory, int32_t kind, RecordRef first) {
    ModelNode* node = makeNode(directory, kind, first);
    index(node);
    return node;
}

void ListingMap::ensureUpdir(ModelNode* directory) {
    NodeExtra* directoryExtra = extra(directory);
    if (directoryExtra->updir != nullptr)
        return;
    // Made before any record is read into the directory, so it comes first
    // and a record named "..." hides behind it, as in the loader.
    directoryExtra->updir = newNode(directory, KIND_UPDIR, {});
}

std::string ListingMap::nameOf(const ModelNode* node) const {
    if (node->kind == KIND_ROOT)
        return "";
    if (node->kind == KIND_UPDIR)
        return "...";
    return recordEntryName(recordOf(node->first));
}

uint32_t ListingMap::cutsInto(uint64_t start) const {
    auto found = cuts_.find(start);
    return found == cuts_.end() ? 0 : found->second;
}

void ListingMap::countUses() {
    size_t ranges = 0;
    for (const Reading& reading : readings_) ranges += 1 + reading.listing->records.size();
    used_.reserve(ranges);
    // Per reading: a listing read twice, and the data its records point to,
    // count twice.
    for (const Reading& reading : readings_) {
        const Listing& listing = *reading.listing;
        used_.add(listing.start, listing.start + listing.room);
        for (const DirRecord& record : listing.records) {
            if (record.type == TYPE_FILE)
                used_.add(record.offset, uint64_t{record.offset} + record.size);
        }
    }
    used_.finish();
    for (Listing& listing : listings_)
        listing.exclusive = used_.usedOnce(listing.start, listing.start + listing.room);
}

int ListingMap::read(const ByteSource& archive, std::string* why) {
    fileSize_ = archive.size();
    const uint32_t cap = loadRecordCap(fileSize_, LOAD_ENTRY_CAP);
    RecordReader source(archive);
    std::unordered_map<uint64_t, Listing*> byStart;
    std::unordered_set<uint64_t> active;
    struct Frame {
        Reading* reading;
        uint32_t next;  // the next record's index
    };
    std::vector<Frame> frames;
    walking_ = true;
    auto open = [&](uint64_t start, ModelNode* into, Reading* parent, uint32_t sourceIndex) {
        Listing*& listing = byStart[start];
        if (listing == nullptr) {
            listing = newListing();
            listing->start = start;
            // A listing is read for the first time only when no reading of
            // it is under way, so reading it whole at once is the same as
            // the loader's reading record by record.
            if (!readListing(source, listing, cap, why))
                return false;
        }
        Reading* reading = newReading(listing, parent, sourceIndex, into);
        reading->slots.reserve(listing->records.size());
        ArenaVector<ModelNode*>& children = extra(into)->children;
        children.reserve(children.size() + listing->records.size());
        frames.push_back({reading, 0});
        active.insert(start);
        return true;
    };
    if (!open(0, root_, nullptr, 0))
        return 0;
    uint32_t records = 0;
    while (!frames.empty()) {
        Frame& frame = frames.back();
        Reading* reading = frame.reading;
        const Listing* listing = reading->listing;
        if (frame.next == listing->records.size()) {
            active.erase(listing->start);
            frames.pop_back();
            continue;
        }
        if (records == cap) {
            *why = "the archive holds more records than one load reads; it cannot be changed";
            return 0;
        }
        ++records;
        const uint32_t index = frame.next++;
        const DirRecord& record = listing->records[index];
        ModelNode* directory = reading->into;
        if (record.type == TYPE_FILE) {
            // Whether its name is taken already is settled when the walk ends.
            ModelNode* node = makeNode(directory, KIND_FILE, {reading, index});
            extra(directory)->children.push_back(node);
            reading->slots.push_back(node);
            continue;
        }
        ModelNode* target = walkChild(directory, record, {reading, index});
        reading->slots.push_back(target);
        if (active.count(record.offset) != 0) {
            // As the loader does: the listing is still being read further up,
            // so the directory keeps just its "...".
            ++cuts_[record.offset];
            ensureUpdir(target);
            target->cut = true;
            continue;
        }
        if (!open(record.offset, target, reading, index))  // `frame` is not used past here
            return 0;
    }
    walking_ = false;
    // By index: settling gives entries that hide records an extra part,
    // which appending to the deque must not lose the loop's place over.
    for (size_t i = 0; i < extras_.size(); ++i) {
        settle(&extras_[i]);
        ArenaVector<uint64_t>().swap(extras_[i].table);
    }
    countUses();
    return 1;
}

ModelNode* ListingMap::find(const std::string& path) const {
    std::string wanted = path;
    std::replace(wanted.begin(), wanted.end(), '\\', '/');
    const size_t start = wanted.find_first_not_of('/');
    if (start == std::string::npos)
        return nullptr;
    // A stored name may hold '\' (the archive's '/'), so a path can split into
    // names in more than one way. Like the command line's lookup, each
    // directory's children are tried in their order: a whole match returns at
    // once, directories matching a part are tried later, the last one first.
    std::vector<std::pair<ModelNode*, size_t>> pending{{root_, start}};
    struct Match {
        ModelNode* node;
        std::string name;
        size_t after;
    };
    while (!pending.empty()) {
        auto [directory, at] = pending.back();
        pending.pop_back();
        std::vector<Match> matches;
        for (size_t end = at; end <= wanted.size(); ++end) {
            if (end != wanted.size() && wanted[end] != '/')
                continue;
            std::string name = wanted.substr(at, end - at);
            std::replace(name.begin(), name.end(), '/', '\\');
            ModelNode* found = child(directory, name);
            if (found != nullptr && found->kind != KIND_UPDIR && !name.empty())
                matches.push_back({found, nameOf(found), end});
        }
        std::sort(matches.begin(), matches.end(), [](const Match& a, const Match& b) {
            if (a.node->kind != b.node->kind)
                return a.node->kind < b.node->kind;
            return std::lexicographical_compare(
                a.name.begin(), a.name.end(), b.name.begin(), b.name.end(), [](char x, char y) {
                    return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
                });
        });
        for (const Match& match : matches) {
            if (match.after == wanted.size())
                return match.node;
            if (match.node->kind != KIND_SUBDIR)
                continue;
            const size_t next = wanted.find_first_not_of('/', match.after);
            if (next == std::string::npos)
                return match.node;
            pending.emplace_back(match.node, next);
        }
    }
    return nullptr;
}
