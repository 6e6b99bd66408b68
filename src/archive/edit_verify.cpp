// The check loads both archives with the real loader, so that a fault in the
// editor's own reading of the listings cannot hide itself: the tree after
// the plan must be the tree before it with the requested changes applied
// through the Entry operations, which know nothing of the editor.
//
// Only one loaded tree is held at a time: the tree expected after the plan is
// written down entry by entry, compactly and in the order the comparison
// visits them, and torn down before the changed archive is loaded, which
// then finds the entry pools and the heap as the first load left them.
#include "archive/edit_verify.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include "archive/child_order.h"
#include "archive/entry.h"
#include "archive/layout.h"
#include "archive/load_observer.h"
#include "archive/loader.h"
#include "archive/walk.h"
#include "archive/writer.h"
#include "text/cp437.h"

namespace {

bool fail(std::string* why, const std::string& text) {
    *why = text;
    return false;
}

std::string shown(const Entry* entry) {
    const std::string path = archivePathOf(entry);
    return "'" + cp437StringToUtf8(path.empty() ? "/" : path) + "'";
}

// A tree loaded for the check, torn down with it.
struct CheckTree {
    Entry root;
    bool capped = false;
    CheckTree() {
        if (releaseInfoHook == nullptr)
            releaseInfoHook = releaseEntryInfo;
        root.kind = KIND_ROOT;
        root.info = new EntryInfo;
    }
    ~CheckTree() { destroyDescendants(&root); }
};

// Where each listing ends, by the directory it was first read for: only
// that directory answers for it (a directory cut at a cycle points to a
// listing read for another, and reads nothing of it).
class ListingEnds : public LoadObserver {
  public:
    void listingRead(const Entry* directory, uint64_t start, uint64_t end, ListingEnd) override {
        ends.emplace(directory, ByteRange{start, end});
    }
    std::unordered_map<const Entry*, ByteRange> ends;
};

// Every listing a load reads, start to end.
class ListingRanges : public LoadObserver {
  public:
    void listingRead(const Entry*, uint64_t start, uint64_t end, ListingEnd) override {
        ranges.push_back({start, end});
    }
    std::vector<ByteRange> ranges;
};

// True when a listing of `listings` lies on bytes that come from a host file,
// which the check does not read (the loader's read-ahead may still touch them).
bool listingOnHostData(const EditPlan& plan, const std::vector<ByteRange>& listings) {
    for (const EditWrite& write : plan.writes) {
        if (write.source != EDIT_SOURCE_HOST_FILE || write.length == 0)
            continue;
        for (const ByteRange& listing : listings) {
            if (listing.start < write.offset + write.length && write.offset < listing.end)
                return true;
        }
    }
    return false;
}

bool checkWrites(const ByteSource& archive, const EditPlan& plan, std::string* why) {
    if (plan.oldLength != archive.size())
        return fail(why, "the plan was made for another length of the archive");
    bool patches = false;
    for (const EditWrite& write : plan.writes) {
        if (write.phase == EDIT_PHASE_PATCH)
            patches = true;
        else if (patches)
            return fail(why, "a data write comes after a patch");
        if (write.offset > ARCHIVE_SIZE_LIMIT || write.length > ARCHIVE_SIZE_LIMIT - write.offset)
            return fail(why, "a write reaches past 4 GiB");
        if (write.offset + write.length > plan.newLength)
            return fail(why, "a write reaches past the new length");
        if (write.source == EDIT_SOURCE_BYTES && write.bytes.size() != write.length)
            return fail(why, "a write holds the wrong number of bytes");
        if (write.source == EDIT_SOURCE_ARCHIVE &&
            write.sourceOffset + write.length > plan.oldLength)
            return fail(why, "a move reads past the end of the archive");
    }
    if (plan.newLength < plan.oldLength)
        return fail(why, "the plan would cut the archive short");
    for (const EditWrite& move : plan.writes) {
        if (move.source != EDIT_SOURCE_ARCHIVE)
            continue;
        for (const EditWrite& write : plan.writes) {
            if (write.phase == EDIT_PHASE_DATA && write.offset < move.sourceOffset + move.length &&
                write.offset + write.length > move.sourceOffset)
                return fail(why, "a data write lands on bytes a move reads");
        }
    }
    return true;
}

Entry* childNamed(Entry* directory, const std::string& name) {
    // "..." too: a directory record named "..." leads into it.
    for (int32_t kind : {KIND_UPDIR, KIND_SUBDIR, KIND_FILE}) {
        Entry probe;
        probe.kind = kind;
        probe.name = name;
        auto place = std::lower_bound(directory->children.begin(), directory->children.end(),
                                      &probe, entryBefore);
        if (place != directory->children.end() && (*place)->kind == kind && (*place)->name == name)
            return *place;
    }
    return nullptr;
}

Entry* entryAt(Entry* root, const std::vector<std::string>& names, size_t count) {
    Entry* entry = root;
    for (size_t i = 0; i < count && entry != nullptr; ++i) entry = childNamed(entry, names[i]);
    return entry;
}

// What the tree before the plan is expected to become.
struct Expectations {
    std::unordered_map<const Entry*, const ExpectedChange*> newData;
    std::unordered_set<const Entry*> newDirectories;
    std::unordered_set<const Entry*> touched;  // directories whose listings change
};

void forgetSubtree(Entry* top, Expectations* expect) {
    std::vector<Entry*> pending{top};
    while (!pending.empty()) {
        Entry* entry = pending.back();
        pending.pop_back();
        expect->newData.erase(entry);
        expect->newDirectories.erase(entry);
        expect->touched.erase(entry);
        pending.insert(pending.end(), entry->children.begin(), entry->children.end());
    }
}

bool applyExpected(Entry* root, const std::vector<ExpectedChange>& changes, Expectations* expect,
                   std::string* why) {
    for (const ExpectedChange& change : changes) {
        const size_t depth = change.names.size();
        if (change.kind == EXPECT_LISTING) {
            Entry* directory = entryAt(root, change.names, depth);
            if (directory == nullptr)
                return fail(why, "a directory whose listing changes is not in the archive");
            expect->touched.insert(directory);
            continue;
        }
        Entry* parent = depth == 0 ? nullptr : entryAt(root, change.names, depth - 1);
        if (parent == nullptr)
            return fail(why, "the directory of a changed entry is not in the archive");
        const std::string& name = change.names.back();
        if (change.kind == EXPECT_ADD_FILE || change.kind == EXPECT_MAKE_DIR) {
            const int32_t kind = change.kind == EXPECT_ADD_FILE ? KIND_FILE : KIND_SUBDIR;
            EntryInfo* info = new EntryInfo;
            if (!addChild(parent, name.c_str(), static_cast<uint32_t>(change.size), info, kind)) {
                delete info;
                return fail(why, "a new entry's name is taken");
            }
            Entry* made = childNamed(parent, name);
            if (kind == KIND_FILE) {
                expect->newData[made] = &change;
            } else {
                expect->newDirectories.insert(made);
                addChild(made, "...", 0, new EntryInfo, KIND_UPDIR);
            }
            expect->touched.insert(parent);
            continue;
        }
        Entry* entry = childNamed(parent, name);
        if (entry == nullptr)
            return fail(why, "a changed entry is not in the archive");
        expect->touched.insert(parent);
        if (change.kind == EXPECT_NEW_DATA) {
            entry->size = static_cast<uint32_t>(change.size);
            expect->newData[entry] = &change;
        } else if (change.kind == EXPECT_RENAME) {
            entry->name = change.newName;
            sortChildren(parent->children);
        } else {
            forgetSubtree(entry, expect);
            parent->children.erase(
                std::find(parent->children.begin(), parent->children.end(), entry));
            destroyDescendants(entry);
            delete entry;
        }
    }
    return true;
}

bool sameBytes(const ByteSource& a, uint64_t atA, const ByteSource& b, uint64_t atB,
               uint64_t length) {
    std::vector<unsigned char> one(64 * 1024);
    std::vector<unsigned char> two(one.size());
    for (uint64_t done = 0; done < length;) {
        const size_t step = static_cast<size_t>(std::min<uint64_t>(one.size(), length - done));
        if (a.readAt(atA + done, one.data(), step) != static_cast<int64_t>(step) ||
            b.readAt(atB + done, two.data(), step) != static_cast<int64_t>(step) ||
            std::memcmp(one.data(), two.data(), step) != 0)
            return false;
        done += step;
    }
    return true;
}

// True when the write at `offset` of `length` bytes is the one that brings
// the change's data and no later write spoils it.
bool bringsData(const EditPlan& plan, const WriteIndex& index, const ExpectedChange& change,
                uint64_t offset) {
    const std::vector<size_t> meeting = index.meeting(offset, offset + change.size);
    if (meeting.empty())
        return false;
    const EditWrite& write = plan.writes[meeting.back()];
    const EditRequest& request = *change.request;
    if (write.phase != EDIT_PHASE_DATA || write.offset != offset || write.length != change.size ||
        write.source != request.source)
        return false;
    return request.source == EDIT_SOURCE_BYTES ? write.bytes == request.bytes
                                               : write.hostPath == request.hostPath;
}

// The expected tree, entry by entry: each directory's children in order,
// directories visited from a stack. Kept in blocks that grow up to large
// ones; an entry never spans two, so that reading repeats the writing's steps.
class ExpectedStream {
  public:
    ExpectedStream() = default;
    ExpectedStream(const ExpectedStream&) = delete;
    ExpectedStream& operator=(const ExpectedStream&) = delete;
    ~ExpectedStream() {
        for (const Chunk& chunk : chunks_) releaseLarge(chunk.bytes, chunk.size);
    }

    // Starts the next entry, writing or reading.
    void begin() {
        if (chunk_ < chunks_.size() && at_ + ENTRY_MOST <= chunks_[chunk_].size)
            return;
        ++chunk_;
        at_ = 0;
        if (writing_) {
            const size_t size =
                chunks_.empty() ? FIRST_CHUNK : std::min(2 * chunks_.back().size, LAST_CHUNK);
            chunks_.push_back({static_cast<unsigned char*>(allocateLarge(size)), size});
        }
    }
    void put(const void* bytes, size_t count) {
        std::memcpy(chunks_[chunk_].bytes + at_, bytes, count);
        at_ += count;
    }
    template <typename T>
    void put(T value) {
        put(&value, sizeof value);
    }
    // The next `count` bytes, in place.
    const unsigned char* take(size_t count) {
        const unsigned char* bytes = chunks_[chunk_].bytes + at_;
        at_ += count;
        return bytes;
    }
    template <typename T>
    T get() {
        T value;
        std::memcpy(&value, take(sizeof value), sizeof value);
        return value;
    }
    // Turns from writing to reading, from the first entry on.
    void rewind() {
        writing_ = false;
        chunk_ = SIZE_MAX;
        at_ = 0;
    }

  private:
    static constexpr size_t FIRST_CHUNK = 64 * 1024;
    static constexpr size_t LAST_CHUNK = 2 * 1024 * 1024;
    static constexpr size_t ENTRY_MOST = 512;

    struct Chunk {
        unsigned char* bytes;
        size_t size;
    };
    std::vector<Chunk> chunks_;
    size_t chunk_ = SIZE_MAX;  // the chunk in use; wraps to 0 at the first begin()
    size_t at_ = 0;
    bool writing_ = true;
};

// What the expected tree says of one entry.
enum ExpectedFlags : uint8_t {
    EXPECTED_NEW_DATA = 1,       // its data is new: `change` says which
    EXPECTED_NEW_DIRECTORY = 2,  // made by the plan
    EXPECTED_TOUCHED = 4,        // a directory whose listing the plan changes
    EXPECTED_LISTING = 8,        // a directory whose listing was read at its offset: `listingEnd`
};

struct ExpectedEntry {
    uint8_t kind = 0;
    uint8_t flags = 0;
    std::string_view name;  // in the stream
    uint32_t size = 0;
    uint32_t offset = 0;
    uint32_t children = 0;
    uint32_t change = 0;
    uint64_t listingEnd = 0;
};

void readEntry(ExpectedStream* stream, ExpectedEntry* entry) {
    stream->begin();
    entry->kind = stream->get<uint8_t>();
    entry->flags = stream->get<uint8_t>();
    const size_t length = stream->get<uint8_t>();
    entry->name = {reinterpret_cast<const char*>(stream->take(length)), length};
    entry->size = stream->get<uint32_t>();
    entry->offset = stream->get<uint32_t>();
    entry->children = stream->get<uint32_t>();
    entry->change = (entry->flags & EXPECTED_NEW_DATA) ? stream->get<uint32_t>() : 0;
    entry->listingEnd = (entry->flags & EXPECTED_LISTING) ? stream->get<uint64_t>() : 0;
}

// The few entries the changes mark, found without a division per entry
// (every entry of the tree is looked up).
class MarkedEntries {
  public:
    MarkedEntries(const Expectations& expect, const std::vector<ExpectedChange>& changes) {
        std::vector<std::pair<const Entry*, Mark>> marks;
        for (const auto& [entry, change] : expect.newData)
            marks.push_back(
                {entry, {EXPECTED_NEW_DATA, static_cast<uint32_t>(change - changes.data())}});
        for (const Entry* entry : expect.newDirectories)
            marks.push_back({entry, {EXPECTED_NEW_DIRECTORY, 0}});
        for (const Entry* entry : expect.touched) marks.push_back({entry, {EXPECTED_TOUCHED, 0}});
        while (slots_.size() < 4 * marks.size()) {
            ++bits_;
            slots_.assign(size_t{1} << bits_, {nullptr, {}});
        }
        for (const auto& [entry, mark] : marks) {
            size_t i = slot(entry);
            while (slots_[i].first != nullptr && slots_[i].first != entry)
                i = (i + 1) & (slots_.size() - 1);
            slots_[i].first = entry;
            slots_[i].second.flags |= mark.flags;
            slots_[i].second.change |= mark.change;
        }
    }

    // The entry's flags, with the change that brings its data in `*change`.
    uint8_t flagsOf(const Entry* entry, uint32_t* change) const {
        if (slots_.empty())
            return 0;
        for (size_t i = slot(entry); slots_[i].first != nullptr;
             i = (i + 1) & (slots_.size() - 1)) {
            if (slots_[i].first == entry) {
                *change = slots_[i].second.change;
                return slots_[i].second.flags;
            }
        }
        return 0;
    }

  private:
    struct Mark {
        uint8_t flags = 0;
        uint32_t change = 0;
    };
    size_t slot(const Entry* entry) const {
        const uint64_t h = reinterpret_cast<uintptr_t>(entry) * 0x9E3779B97F4A7C15ull;
        return static_cast<size_t>(h >> (64 - bits_));
    }
    std::vector<std::pair<const Entry*, Mark>> slots_;
    unsigned bits_ = 0;
};

void writeEntry(const Entry* entry, const MarkedEntries& marked,
                const std::unordered_map<const Entry*, ByteRange>& listingEnds,
                ExpectedStream* stream) {
    uint32_t change = 0;
    uint8_t flags = marked.flagsOf(entry, &change);
    const uint32_t offset = entry->info->offset;
    uint64_t listingEnd = 0;
    if (entry->kind == KIND_ROOT || entry->kind == KIND_SUBDIR) {
        auto listing = listingEnds.find(entry);
        if (listing != listingEnds.end() && listing->second.start == offset) {
            flags |= EXPECTED_LISTING;
            listingEnd = listing->second.end;
        }
    }
    stream->begin();
    stream->put(static_cast<uint8_t>(entry->kind));
    stream->put(flags);
    stream->put(static_cast<uint8_t>(entry->name.size()));
    stream->put(entry->name.data(), entry->name.size());
    stream->put(entry->size);
    stream->put(offset);
    stream->put(static_cast<uint32_t>(entry->children.size()));
    if (flags & EXPECTED_NEW_DATA)
        stream->put(change);
    if (flags & EXPECTED_LISTING)
        stream->put(listingEnd);
}

// Writes the expected tree under `root` down, root first, in the order
// compareWithExpected visits it, and tears the tree down on the way (a
// directory goes once its entries are written), so that it is walked once.
void writeExpected(Entry* root, const Expectations& expect,
                   const std::unordered_map<const Entry*, ByteRange>& listingEnds,
                   const std::vector<ExpectedChange>& changes, ExpectedStream* stream) {
    const MarkedEntries marked(expect, changes);
    writeEntry(root, marked, listingEnds, stream);
    std::vector<Entry*> pending{root};
    while (!pending.empty()) {
        Entry* directory = pending.back();
        pending.pop_back();
        for (Entry* child : directory->children) {
            writeEntry(child, marked, listingEnds, stream);
            if (!child->children.empty())
                pending.push_back(child);
            else
                delete child;
        }
        directory->children.clear();
        if (directory != root)
            delete directory;
    }
}

std::string shownChild(const Entry* directory, std::string_view name) {
    std::string path = archivePathOf(directory);
    appendPathLevel(&path, std::string(name), '/');
    return "'" + cp437StringToUtf8(path) + "'";
}

// A directory of the changed tree still to compare, and what decides whether
// its own listing may be written: only when the plan changes it, makes it or
// moves it, or moves one of its entries.
struct PendingDirectory {
    Entry* have;
    bool mayChange;
    bool listingKnown;
    uint64_t listingStart;
    uint64_t listingEnd;
};

// Compares the tree loaded after the plan with the expected one, and checks
// on the way that no write touches the data or the listing of an entry that
// the plan leaves where it was. Tears the tree down as it goes, as
// writeExpected does; what it has not reached when it fails goes at its end.
bool compareWithExpected(const ByteSource& archive, const PlannedArchive& planned,
                         const EditPlan& plan, const WriteIndex& index,
                         const std::vector<ExpectedChange>& changes, Entry* root,
                         ExpectedStream* stream, std::string* why) {
    std::unordered_set<uint64_t> listingPlaces;
    for (const EditWrite& write : plan.writes) {
        if (write.phase == EDIT_PHASE_DATA && write.source == EDIT_SOURCE_BYTES)
            listingPlaces.insert(write.offset);
    }
    std::vector<PendingDirectory> pending;
    Entry* current = nullptr;  // the directory being compared, taken off `pending`
    size_t done = 0;           // its first entries, gone already or in `pending`
    struct Teardown {
        Entry* root;
        std::vector<PendingDirectory>& pending;
        Entry*& current;
        size_t& done;
        ~Teardown() {
            auto destroy = [&](Entry* entry) {
                destroyDescendants(entry);
                if (entry != root)
                    delete entry;
            };
            for (const PendingDirectory& directory : pending) destroy(directory.have);
            if (current != nullptr) {
                current->children.erase(current->children.begin(),
                                        current->children.begin() + static_cast<ptrdiff_t>(done));
                destroy(current);
            }
        }
    } teardown{root, pending, current, done};

    auto listingStays = [&](const PendingDirectory& directory) {
        if (directory.mayChange || !directory.listingKnown ||
            index.meeting(directory.listingStart, directory.listingEnd).empty())
            return true;
        return fail(why, "a write would change the listing of " + shown(directory.have));
    };
    ExpectedEntry want;
    readEntry(stream, &want);
    if (want.children != root->children.size())
        return fail(why, shown(root) + " would hold " + std::to_string(root->children.size()) +
                             " entries instead of " + std::to_string(want.children));
    pending.push_back({root, (want.flags & EXPECTED_TOUCHED) != 0,
                       (want.flags & EXPECTED_LISTING) != 0, want.offset, want.listingEnd});
    while (!pending.empty()) {
        PendingDirectory directory = pending.back();
        pending.pop_back();
        current = directory.have;
        done = 0;
        for (Entry* h : directory.have->children) {
            readEntry(stream, &want);
            if (want.name != h->name || want.kind != h->kind)
                return fail(why, shown(h) + " would stand where " +
                                     shownChild(directory.have, want.name) + " belongs");
            if (want.children != h->children.size())
                return fail(why, shown(h) + " would hold " + std::to_string(h->children.size()) +
                                     " entries instead of " + std::to_string(want.children));
            if (want.size != h->size)
                return fail(why, "the size of " + shown(h) + " would change");
            const uint32_t before = want.offset;
            const uint32_t after = h->info->offset;
            bool mayChange = (want.flags & (EXPECTED_NEW_DATA | EXPECTED_NEW_DIRECTORY)) != 0;
            if (want.flags & EXPECTED_NEW_DATA) {
                if (want.size != 0 && !bringsData(plan, index, changes[want.change], after))
                    return fail(why,
                                "the new data of " + shown(h) + " is not where its record points");
            } else if (want.flags & EXPECTED_NEW_DIRECTORY) {
                if (listingPlaces.count(after) == 0)
                    return fail(why, "the new directory " + shown(h) + " has no listing written");
            } else if (before != after) {
                // Only moved listings and moved data change place, and then
                // they must hold what they held.
                bool moved = false;
                if (want.kind == KIND_FILE) {
                    for (size_t k : index.meeting(after, after + uint64_t{want.size})) {
                        const EditWrite& write = plan.writes[k];
                        moved = moved || (write.source == EDIT_SOURCE_ARCHIVE &&
                                          write.sourceOffset == before && write.offset == after);
                    }
                    moved = moved && sameBytes(archive, before, planned, after, want.size);
                } else {
                    moved = listingPlaces.count(after) != 0;
                }
                if (!moved)
                    return fail(why, "the offset of " + shown(h) + " would change");
                mayChange = true;
                directory.mayChange = true;
            }
            if (!mayChange && want.kind == KIND_FILE && want.children == 0 &&
                !index.meeting(before, uint64_t{before} + want.size).empty())
                return fail(why, "a write would change the data of " + shown(h));
            const PendingDirectory below{
                h, mayChange || (want.flags & EXPECTED_TOUCHED) != 0,
                want.kind == KIND_SUBDIR && (want.flags & EXPECTED_LISTING) != 0, before,
                want.listingEnd};
            if (want.children != 0) {
                pending.push_back(below);
            } else {
                if (!listingStays(below))
                    return false;
                delete h;
            }
            ++done;
        }
        // Its entries are all compared: whether one moved is known now.
        if (!listingStays(directory))
            return false;
        directory.have->children.clear();
        if (directory.have != root)
            delete directory.have;
        current = nullptr;
    }
    return true;
}

}  // namespace

int verifyEditPlan(const ByteSource& archive, const EditPlan& plan,
                   const std::vector<ExpectedChange>& expected, std::string* why) {
    if (!checkWrites(archive, plan, why))
        return 0;
    ExpectedStream stream;
    std::string unexpected;  // why the changes could not be applied to the tree
    {
        CheckTree before;
        ListingEnds ends;
        if (loadArchiveFrom(archive, &before.root, LOAD_ENTRY_CAP, &ends))
            return fail(why, "the archive holds more records than one load reads"), 0;
        Expectations expect;
        if (applyExpected(&before.root, expected, &expect, &unexpected))
            writeExpected(&before.root, expect, ends.ends, expected, &stream);
    }
    PlannedArchive planned(archive, plan);
    CheckTree after;
    ListingRanges listings;
    if (loadArchiveFrom(planned, &after.root, LOAD_ENTRY_CAP, &listings))
        return fail(why, "the changed archive would hold more records than one load reads"), 0;
    if (listingOnHostData(plan, listings.ranges))
        return fail(why, "a listing would be read from new file data"), 0;
    if (!unexpected.empty())
        return fail(why, unexpected), 0;
    stream.rewind();
    const WriteIndex index(plan.writes);
    return compareWithExpected(archive, planned, plan, index, expected, &after.root, &stream, why)
               ? 1
               : 0;
}
