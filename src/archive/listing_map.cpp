// The walk repeats the loader's rules step for step (depth first, listings
// still being read are not entered again, the same cap on records), because a
// change is only sound if the tree worked out here is the tree the loader
// will build. The editor's verification loads the result with the real loader
// to catch any difference.
#include "archive/listing_map.h"

#include <algorithm>
#include <unordered_set>

#include "archive/loader.h"
#include "text/ascii_fold.h"

namespace {

constexpr size_t READ_CHUNK_MIN = 4096;
constexpr size_t READ_CHUNK_MAX = 1u << 20;

// Reads records through a buffer that grows while reads run on in file order
// and shrinks again after a jump, as the loader's reader does.
class RecordSource {
  public:
    explicit RecordSource(const ByteSource& file) : file_(file), size_(file.size()) {}

    // 1 with the record at `position` in `bytes`; 0 when it cannot be read
    // whole (the end of the file); -1 on a read error.
    int read(uint64_t position, unsigned char* bytes) {
        if (position > size_ || size_ - position < DIR_RECORD_SIZE)
            return 0;
        if (position < start_ || position + DIR_RECORD_SIZE > start_ + length_) {
            const bool runsOn = position >= start_ && position <= start_ + length_;
            chunk_ = runsOn ? std::min(chunk_ * 2, READ_CHUNK_MAX) : READ_CHUNK_MIN;
            const size_t wanted = static_cast<size_t>(std::min<uint64_t>(chunk_, size_ - position));
            buffer_.resize(std::max(buffer_.size(), wanted));
            const int64_t got = file_.readAt(position, buffer_.data(), wanted);
            if (got < static_cast<int64_t>(DIR_RECORD_SIZE))
                return -1;
            start_ = position;
            length_ = static_cast<uint64_t>(got);
        }
        std::copy_n(buffer_.data() + (position - start_), DIR_RECORD_SIZE, bytes);
        return 1;
    }

  private:
    const ByteSource& file_;
    uint64_t size_;
    std::vector<unsigned char> buffer_;
    uint64_t start_ = 0;
    uint64_t length_ = 0;
    size_t chunk_ = READ_CHUNK_MIN;
};

uint64_t hashFolded(std::string_view name) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (char c : name) h = (h ^ foldAscii(static_cast<unsigned char>(c))) * 0x100000001b3ull;
    return h;
}

}  // namespace

ListingMap::ListingMap() {
    nodes_.emplace_back();
    root_ = &nodes_.back();
    root_->kind = KIND_ROOT;
}

Listing* ListingMap::newListing() {
    listings_.emplace_back();
    return &listings_.back();
}

Reading* ListingMap::newReading(Listing* listing, Reading* parent, uint32_t source,
                                ModelNode* into) {
    readings_.emplace_back();
    Reading* reading = &readings_.back();
    reading->listing = listing;
    reading->parent = parent;
    reading->source = source;
    reading->into = into;
    if (parent != nullptr)
        parent->children.push_back(reading);
    into->readings.push_back(reading);
    if (into != root_)
        ensureUpdir(into);
    return reading;
}

ModelNode* ListingMap::newNode(ModelNode* directory, int32_t kind, RecordRef first) {
    nodes_.emplace_back();
    ModelNode* node = &nodes_.back();
    node->kind = kind;
    node->parent = directory;
    node->first = first;
    index(node);
    return node;
}

void ListingMap::ensureUpdir(ModelNode* directory) {
    if (directory->updir != nullptr)
        return;
    nodes_.emplace_back();
    ModelNode* updir = &nodes_.back();
    updir->kind = KIND_UPDIR;
    updir->parent = directory;
    directory->updir = updir;
    index(updir);
}

std::string ListingMap::nameOf(const ModelNode* node) const {
    if (node->kind == KIND_ROOT)
        return "";
    if (node->kind == KIND_UPDIR)
        return "...";
    return recordEntryName(recordOf(node->first));
}

uint64_t ListingMap::key(const ModelNode* directory, std::string_view name) const {
    // FNV alone leaves names that differ in a few characters close together;
    // the finaliser spreads them over the whole table.
    uint64_t h =
        hashFolded(name) ^ (reinterpret_cast<uintptr_t>(directory) * 0x9E3779B97F4A7C15ull);
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ull;
    return h ^ (h >> 33);
}

void ListingMap::growNames() {
    size_t live = 0;
    for (const NameSlot& slot : names_) live += slot.node != nullptr && slot.node != &removed_;
    std::vector<NameSlot> old(std::max<size_t>(16, 4 * (live + 1)), NameSlot{});
    size_t size = 16;
    while (size < old.size()) size *= 2;
    old.resize(size);
    old.swap(names_);
    namesUsed_ = 0;
    const size_t mask = names_.size() - 1;
    for (const NameSlot& slot : old) {
        if (slot.node == nullptr || slot.node == &removed_)
            continue;
        size_t i = slot.key & mask;
        while (names_[i].node != nullptr) i = (i + 1) & mask;
        names_[i] = slot;
        ++namesUsed_;
    }
}

void ListingMap::index(ModelNode* node) {
    if ((namesUsed_ + 1) * 2 > names_.size())
        growNames();
    const uint64_t k = key(node->parent, nameOf(node));
    const size_t mask = names_.size() - 1;
    size_t i = k & mask;
    while (names_[i].node != nullptr && names_[i].node != &removed_) i = (i + 1) & mask;
    if (names_[i].node == nullptr)
        ++namesUsed_;
    names_[i] = {k, node};
}

void ListingMap::unindex(ModelNode* node) {
    if (names_.empty())
        return;
    const uint64_t k = key(node->parent, nameOf(node));
    const size_t mask = names_.size() - 1;
    for (size_t i = k & mask; names_[i].node != nullptr; i = (i + 1) & mask) {
        if (names_[i].node == node) {
            names_[i].node = &removed_;
            return;
        }
    }
}

ModelNode* ListingMap::child(const ModelNode* directory, std::string_view name) const {
    if (names_.empty())
        return nullptr;
    const uint64_t k = key(directory, name);
    const size_t mask = names_.size() - 1;
    for (size_t i = k & mask; names_[i].node != nullptr; i = (i + 1) & mask) {
        ModelNode* node = names_[i].node;
        if (names_[i].key == k && node != &removed_ && node->parent == directory &&
            equalFoldingAscii(nameOf(node), name))
            return node;
    }
    return nullptr;
}

uint32_t ListingMap::cutsInto(uint64_t start) const {
    auto found = cuts_.find(start);
    return found == cuts_.end() ? 0 : found->second;
}

int ListingMap::read(const ByteSource& archive, std::string* why) {
    fileSize_ = archive.size();
    const uint32_t cap = loadRecordCap(fileSize_, LOAD_ENTRY_CAP);
    // Sized once for as many records as the file could hold (up to a
    // million), so that the name table is not rebuilt while the walk runs.
    size_t slots = 16;
    while (slots < 2 * std::min<uint64_t>(fileSize_ / DIR_RECORD_SIZE + 1, 1u << 20)) slots *= 2;
    names_.assign(slots, NameSlot{});
    RecordSource source(archive);
    std::unordered_map<uint64_t, Listing*> byStart;
    std::unordered_set<uint64_t> active;
    struct Frame {
        Reading* reading;
        uint32_t next;  // the next record's index
        bool fromFile;  // the listing's first reading: its records come from the file
    };
    std::vector<Frame> frames;
    auto open = [&](uint64_t start, ModelNode* into, Reading* parent, uint32_t sourceIndex) {
        Listing*& listing = byStart[start];
        const bool fromFile = listing == nullptr;
        if (fromFile) {
            listing = newListing();
            listing->start = start;
        }
        frames.push_back({newReading(listing, parent, sourceIndex, into), 0, fromFile});
        active.insert(start);
    };
    open(0, root_, nullptr, 0);
    uint32_t records = 0;
    unsigned char bytes[DIR_RECORD_SIZE];
    while (!frames.empty()) {
        Frame& frame = frames.back();
        Reading* reading = frame.reading;
        Listing* listing = reading->listing;
        bool ends = false;
        if (frame.fromFile) {
            const uint64_t position = listing->start + uint64_t{frame.next} * DIR_RECORD_SIZE;
            const int got = source.read(position, bytes);
            if (got < 0) {
                *why = "cannot read the archive's listings";
                return 0;
            }
            DirRecord record;
            if (got == 1)
                record = decodeDirRecord(bytes);
            if (got == 0 || (record.type != TYPE_FILE && record.type != TYPE_DIRECTORY)) {
                listing->terminated = got == 1;
                if (got == 1)
                    listing->endRecord = record;
                // The end record, or the bytes that could not make one, decide
                // where the listing ends: they are part of it.
                listing->room = position - listing->start + DIR_RECORD_SIZE;
                ends = true;
            } else {
                listing->records.push_back(record);
            }
        } else {
            ends = frame.next == listing->records.size();
        }
        if (ends) {
            active.erase(listing->start);
            used_.add(listing->start, listing->start + listing->room);
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
        ModelNode* target = child(directory, recordEntryName(record));
        if (target != nullptr) {
            target->hidden.push_back({reading, index});
        } else {
            target = newNode(directory, record.type == TYPE_FILE ? KIND_FILE : KIND_SUBDIR,
                             {reading, index});
        }
        reading->slots.push_back(target);
        if (record.type == TYPE_FILE) {
            used_.add(record.offset, uint64_t{record.offset} + record.size);
            continue;
        }
        if (active.count(record.offset) != 0) {
            // As the loader does: the listing is still being read further up,
            // so the directory keeps just its "...".
            ++cuts_[record.offset];
            ensureUpdir(target);
            target->cut = true;
            continue;
        }
        open(record.offset, target, reading, index);  // `frame` is not used past here
    }
    used_.finish();
    for (Listing& listing : listings_)
        listing.exclusive = used_.usedOnce(listing.start, listing.start + listing.room);
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
