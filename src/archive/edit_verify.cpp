// The check loads both archives with the real loader, so that a fault in the
// editor's own reading of the listings cannot hide itself: the tree after
// the plan must be the tree before it with the requested changes applied
// through the Entry operations, which know nothing of the editor.
#include "archive/edit_verify.h"

#include <algorithm>
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
    for (int32_t kind : {KIND_SUBDIR, KIND_FILE}) {
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
    std::unordered_set<const Entry*> moved;    // entries whose listing or data moved
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

bool compareTrees(const ByteSource& archive, const PlannedArchive& planned, const EditPlan& plan,
                  const WriteIndex& index, Entry* expected, Entry* actual, Expectations* expect,
                  std::string* why) {
    std::unordered_set<uint64_t> listingPlaces;
    for (const EditWrite& write : plan.writes) {
        if (write.phase == EDIT_PHASE_DATA && write.source == EDIT_SOURCE_BYTES)
            listingPlaces.insert(write.offset);
    }
    std::vector<std::pair<Entry*, Entry*>> pending{{expected, actual}};
    while (!pending.empty()) {
        auto [want, have] = pending.back();
        pending.pop_back();
        if (want->children.size() != have->children.size())
            return fail(why, shown(want) + " would hold " + std::to_string(have->children.size()) +
                                 " entries instead of " + std::to_string(want->children.size()));
        for (size_t i = 0; i < want->children.size(); ++i) {
            Entry* w = want->children[i];
            Entry* h = have->children[i];
            if (w->name != h->name || w->kind != h->kind)
                return fail(why, shown(h) + " would stand where " + shown(w) + " belongs");
            if (w->size != h->size)
                return fail(why, "the size of " + shown(w) + " would change");
            const uint32_t before = w->info->offset;
            const uint32_t after = h->info->offset;
            auto data = expect->newData.find(w);
            if (data != expect->newData.end()) {
                if (w->size != 0 && !bringsData(plan, index, *data->second, after))
                    return fail(why,
                                "the new data of " + shown(w) + " is not where its record points");
            } else if (expect->newDirectories.count(w) != 0) {
                if (listingPlaces.count(after) == 0)
                    return fail(why, "the new directory " + shown(w) + " has no listing written");
            } else if (before != after) {
                // Only moved listings and moved data change place, and then
                // they must hold what they held.
                bool moved = false;
                if (w->kind == KIND_FILE) {
                    for (size_t k : index.meeting(after, after + uint64_t{w->size})) {
                        const EditWrite& write = plan.writes[k];
                        moved = moved || (write.source == EDIT_SOURCE_ARCHIVE &&
                                          write.sourceOffset == before && write.offset == after);
                    }
                    moved = moved && sameBytes(archive, before, planned, after, w->size);
                } else {
                    moved = listingPlaces.count(after) != 0;
                }
                if (!moved)
                    return fail(why, "the offset of " + shown(w) + " would change");
                expect->moved.insert(w);
                expect->touched.insert(want);
            }
            if (!w->children.empty())
                pending.emplace_back(w, h);
        }
    }
    return true;
}

bool untouchedStayUntouched(const Entry* root, const WriteIndex& index,
                            const std::unordered_map<const Entry*, ByteRange>& listingEnds,
                            const Expectations& expect, std::string* why) {
    std::vector<const Entry*> pending{root};
    while (!pending.empty()) {
        const Entry* entry = pending.back();
        pending.pop_back();
        pending.insert(pending.end(), entry->children.begin(), entry->children.end());
        if (expect.moved.count(entry) != 0 || expect.newData.count(entry) != 0 ||
            expect.newDirectories.count(entry) != 0)
            continue;
        const uint64_t offset = entry->info->offset;
        if (entry->kind == KIND_FILE && entry->children.empty()) {
            if (!index.meeting(offset, offset + entry->size).empty())
                return fail(why, "a write would change the data of " + shown(entry));
        } else if ((entry->kind == KIND_ROOT || entry->kind == KIND_SUBDIR) &&
                   expect.touched.count(entry) == 0) {
            auto listing = listingEnds.find(entry);
            if (listing != listingEnds.end() && listing->second.start == offset &&
                !index.meeting(listing->second.start, listing->second.end).empty())
                return fail(why, "a write would change the listing of " + shown(entry));
        }
    }
    return true;
}

}  // namespace

WriteIndex::WriteIndex(const std::vector<EditWrite>& writes) : writes_(writes) {
    for (size_t i = 0; i < writes.size(); ++i) {
        if (writes[i].length != 0)
            order_.push_back(i);
    }
    std::sort(order_.begin(), order_.end(),
              [&](size_t a, size_t b) { return writes[a].offset < writes[b].offset; });
    uint64_t reach = 0;
    for (size_t i : order_) {
        reach = std::max(reach, writes[i].offset + writes[i].length);
        reach_.push_back(reach);
    }
}

std::vector<size_t> WriteIndex::meeting(uint64_t start, uint64_t end) const {
    std::vector<size_t> found;
    auto from = std::upper_bound(reach_.begin(), reach_.end(), start);
    for (size_t i = static_cast<size_t>(from - reach_.begin()); i < order_.size(); ++i) {
        const EditWrite& write = writes_[order_[i]];
        if (write.offset >= end)
            break;
        if (write.offset + write.length > start)
            found.push_back(order_[i]);
    }
    std::sort(found.begin(), found.end());
    return found;
}

PlannedArchive::PlannedArchive(const ByteSource& archive, const EditPlan& plan)
    : archive_(archive), plan_(plan), index_(plan.writes) {}

int64_t PlannedArchive::readAt(uint64_t offset, void* buffer, size_t count) const {
    if (offset >= plan_.newLength)
        return 0;
    const size_t length = static_cast<size_t>(std::min<uint64_t>(count, plan_.newLength - offset));
    unsigned char* out = static_cast<unsigned char*>(buffer);
    std::memset(out, 0, length);
    if (offset < archive_.size()) {
        const size_t below =
            static_cast<size_t>(std::min<uint64_t>(length, archive_.size() - offset));
        if (archive_.readAt(offset, out, below) < 0)
            return -1;
    }
    for (size_t k : index_.meeting(offset, offset + length)) {
        const EditWrite& write = plan_.writes[k];
        const uint64_t from = std::max(offset, write.offset);
        const uint64_t to = std::min<uint64_t>(offset + length, write.offset + write.length);
        unsigned char* place = out + (from - offset);
        const size_t part = static_cast<size_t>(to - from);
        if (write.source == EDIT_SOURCE_BYTES) {
            std::memcpy(place, write.bytes.data() + (from - write.offset), part);
        } else if (write.source == EDIT_SOURCE_ARCHIVE) {
            if (archive_.readAt(write.sourceOffset + (from - write.offset), place, part) !=
                static_cast<int64_t>(part))
                return -1;
        } else {
            std::memset(place, 0, part);
        }
    }
    return static_cast<int64_t>(length);
}

int verifyEditPlan(const ByteSource& archive, const EditPlan& plan,
                   const std::vector<ExpectedChange>& expected, std::string* why) {
    if (!checkWrites(archive, plan, why))
        return 0;
    CheckTree before;
    ListingEnds ends;
    if (loadArchiveFrom(archive, &before.root, LOAD_ENTRY_CAP, &ends))
        return fail(why, "the archive holds more records than one load reads"), 0;
    PlannedArchive planned(archive, plan);
    CheckTree after;
    ListingRanges listings;
    if (loadArchiveFrom(planned, &after.root, LOAD_ENTRY_CAP, &listings))
        return fail(why, "the changed archive would hold more records than one load reads"), 0;
    if (listingOnHostData(plan, listings.ranges))
        return fail(why, "a listing would be read from new file data"), 0;
    Expectations expect;
    if (!applyExpected(&before.root, expected, &expect, why))
        return 0;
    const WriteIndex index(plan.writes);
    if (!compareTrees(archive, planned, plan, index, &before.root, &after.root, &expect, why))
        return 0;
    return untouchedStayUntouched(&before.root, index, ends.ends, expect, why) ? 1 : 0;
}
