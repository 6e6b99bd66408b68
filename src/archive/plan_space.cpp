// Where listings go when they change: in place when nothing else reads their
// bytes, else copied first; grown in place when free bytes follow, else
// moved. The root listing cannot move (it starts the archive), so what lies
// right after it moves instead, for every record that points to it.
#include <algorithm>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "archive/edit_names.h"
#include "archive/edit_planner.h"
#include "archive/writer.h"

namespace {

const char* const CYCLE =
    "a directory record cut at a cycle of listings leads to a listing that would have to move; "
    "it cannot be changed";

uint64_t listingBytes(const Listing* listing) {
    return (uint64_t{listing->records.size()} + 1) * DIR_RECORD_SIZE;
}

// A listing put somewhere new is written whole: what it held as read no longer matters.
void forgetReading(Listing* listing) {
    listing->changed = false;
    listing->shifted = false;
    listing->saved.clear();
    listing->original.clear();
}

}  // namespace

int EditPlanner::allocate(uint64_t length, bool alignLarge, uint64_t* place, std::string* why) {
    if (space_->allocate(length, alignLarge, place))
        return 1;
    *why = "the change needs room for " + std::to_string(length) +
           " more bytes, which would reach past 4 GiB, the most an archive can hold";
    return 0;
}

void EditPlanner::touch(Listing* listing) {
    if (listing->placed || listing->changed)
        return;
    listing->originalCount = static_cast<uint32_t>(listing->records.size());
    listing->originalTerminated = listing->terminated;
    listing->changed = true;
}

void EditPlanner::touchRecord(Listing* listing, uint32_t index) {
    touch(listing);
    // Only the first change of a slot saves it: later ones would save what
    // this change wrote. Records added since the reading need nothing.
    if (listing->changed && !listing->shifted && index < listing->originalCount)
        listing->saved.emplace(index, listing->records[index]);
}

void EditPlanner::shift(Listing* listing) {
    touch(listing);
    if (!listing->changed || listing->shifted)
        return;
    listing->original.assign(listing->records.begin(),
                             listing->records.begin() + listing->originalCount);
    for (const auto& [index, record] : listing->saved) listing->original[index] = record;
    listing->saved.clear();
    listing->shifted = true;
}

std::vector<Listing*> EditPlanner::liveListings() {
    std::vector<Listing*> listings;
    std::unordered_set<const Listing*> seen;
    for (Reading& reading : map_.readings()) {
        if (reading.alive && seen.insert(reading.listing).second)
            listings.push_back(reading.listing);
    }
    return listings;
}

Listing* EditPlanner::writable(Reading* reading, std::string* why) {
    Listing* listing = reading->listing;
    if (listing->exclusive)
        return listing;
    if (reading->parent == nullptr) {
        *why =
            "the root listing shares its bytes with other listings or data; it cannot be changed";
        return nullptr;
    }
    if (map_.cutsInto(listing->start) != 0) {
        *why = CYCLE;
        return nullptr;
    }
    // Another reading (or an overlapping listing, or data) uses these bytes:
    // this directory gets a copy of its own, and only its record is repointed.
    Listing* copy = map_.newListing();
    copy->records = listing->records;
    copy->endRecord = listing->endRecord;
    copy->room = listingBytes(listing);
    copy->placed = true;
    copy->exclusive = true;
    if (!allocate(copy->room, false, &copy->start, why))
        return nullptr;
    reading->listing = copy;
    return repoint(reading, copy->start, why) ? copy : nullptr;
}

bool EditPlanner::dropped(const Reading* reading, uint32_t index) {
    const RecordRef& first = reading->slots[index]->first;
    return first.reading != reading || first.index != index;
}

void EditPlanner::listingChanged(const ModelNode* directory) {
    if (changedListings_.insert(directory).second)
        expected_.push_back({EXPECT_LISTING, namesOf(directory), "", 0, nullptr});
}

int EditPlanner::repoint(Reading* reading, uint64_t start, std::string* why) {
    Listing* parent = writable(reading->parent, why);
    if (parent == nullptr)
        return 0;
    touchRecord(parent, reading->source);
    parent->records[reading->source].offset = static_cast<uint32_t>(start);
    // An entry's own record moves the entry, which the check sees; a dropped
    // record's move it must be told of.
    if (dropped(reading->parent, reading->source))
        listingChanged(reading->parent->into);
    return 1;
}

Listing* EditPlanner::grow(Reading* reading, const std::function<uint64_t()>& rootRecords,
                           std::string* why) {
    Listing* listing = writable(reading, why);
    if (listing == nullptr)
        return nullptr;
    touch(listing);
    const uint64_t need = listingBytes(listing) + DIR_RECORD_SIZE;
    if (need <= listing->room)
        return listing;
    const uint64_t end = listing->start + listing->room;
    if (fitsBelowLimit(listing->start, listing->start + need) &&
        space_->isFree(end, listing->start + need)) {
        space_->claim(end, listing->start + need);
        listing->room = need;
        return listing;
    }
    if (reading->parent == nullptr)
        return makeRootRoom(rootRecords(), why) ? listing : nullptr;
    if (map_.cutsInto(listing->start) != 0) {
        *why = CYCLE;
        return nullptr;
    }
    // A listing this change placed and keeps growing gets room to spare, so
    // that adding many entries to one directory does not move it each time.
    uint64_t room = need;
    if (listing->placed) {
        room = std::max(need, 2 * listing->room);
        space_->release(listing->start, listing->start + listing->room);
    }
    uint64_t place = 0;
    if (!allocate(room, false, &place, why))
        return nullptr;
    listing->start = place;
    listing->room = room;
    listing->placed = true;
    forgetReading(listing);
    return repoint(reading, place, why) ? listing : nullptr;
}

int EditPlanner::makeRootRoom(uint64_t records, std::string* why) {
    Listing* root = map_.root()->readings().front()->listing;
    const uint64_t from = root->start + root->room;
    const uint64_t to =
        root->start + listingBytes(root) + std::max<uint64_t>(records, 1) * DIR_RECORD_SIZE;
    if (!fitsBelowLimit(from, to)) {
        *why = "the root listing would reach past 4 GiB";
        return 0;
    }
    // Taken first, so that nothing moved out of the way is put back into it.
    space_->claim(from, to);
    auto inside = [&](uint64_t start, uint64_t end) { return start < to && end > from; };
    std::vector<Listing*> live = liveListings();
    uint64_t moved = 0;
    // Points every record of `type` that points to `old` (and holds data,
    // for files) at `place`, in every listing: the move is for all readers.
    std::unordered_map<const Listing*, std::vector<uint32_t>> repointed;
    auto repointAll = [&](uint32_t type, uint64_t old, uint64_t size, uint64_t place) {
        for (Listing* listing : live) {
            for (uint32_t i = 0; i < listing->records.size(); ++i) {
                DirRecord& record = listing->records[i];
                if (record.type != type || record.offset != old)
                    continue;
                if (type == TYPE_FILE && (record.size == 0 || (size != 0 && record.size != size)))
                    continue;
                touchRecord(listing, i);
                record.offset = static_cast<uint32_t>(place);
                repointed[listing].push_back(i);
            }
        }
    };
    // Dropped records among those repointed change their directories' listings.
    auto tellDropped = [&]() {
        for (const Reading& reading : map_.readings()) {
            auto found = repointed.find(reading.listing);
            if (!reading.alive || found == repointed.end())
                continue;
            for (uint32_t index : found->second) {
                if (index < reading.slots.size() && dropped(&reading, index))
                    listingChanged(reading.into);
            }
        }
    };
    // Data this change writes there first, so that what remains is the archive's own.
    for (EditWrite& write : dataWrites_) {
        if (!inside(write.offset, write.offset + write.length))
            continue;
        uint64_t place = 0;
        if (!allocate(write.length, true, &place, why))
            return 0;
        repointAll(TYPE_FILE, write.offset, 0, place);
        write.offset = place;
        ++moved;
    }
    for (Listing* listing : live) {
        if (listing == root || !inside(listing->start, listing->start + listing->room))
            continue;
        if (map_.cutsInto(listing->start) != 0) {
            *why = CYCLE;
            return 0;
        }
        uint64_t place = 0;
        if (!allocate(listingBytes(listing), false, &place, why))
            return 0;
        repointAll(TYPE_DIRECTORY, listing->start, 0, place);
        listing->start = place;
        listing->room = listingBytes(listing);
        listing->placed = true;
        forgetReading(listing);
        ++moved;
    }
    // Each run of data once, however many records point to it.
    std::set<std::pair<uint64_t, uint64_t>> data;
    for (Listing* listing : live) {
        for (const DirRecord& record : listing->records) {
            const uint64_t end = uint64_t{record.offset} + record.size;
            if (record.type == TYPE_FILE && record.size != 0 && inside(record.offset, end))
                data.emplace(record.offset, record.size);
        }
    }
    for (const auto& [offset, size] : data) {
        if (offset + size > map_.fileSize()) {
            *why =
                "data right after the root listing lies past the end of the archive and cannot "
                "be moved to make room";
            return 0;
        }
        uint64_t place = 0;
        if (!allocate(size, true, &place, why))
            return 0;
        EditWrite write;
        write.offset = place;
        write.length = size;
        write.phase = EDIT_PHASE_DATA;
        write.source = EDIT_SOURCE_ARCHIVE;
        write.sourceOffset = offset;
        dataWrites_.push_back(std::move(write));
        repointAll(TYPE_FILE, offset, size, place);
        ++moved;
    }
    tellDropped();
    root->room = to - root->start;
    movedForRoot_ += moved;
    return 1;
}
