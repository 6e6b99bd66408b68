// Each request changes the listing map the way the loader will see the
// written result: records are patched, removed or appended in the listings
// of the directory they belong to, and new data goes where placeData puts it.
// The writes themselves are worked out once, at the end (plan_emit.cpp), and
// checked against the real loader before they are handed on.
#include "archive/editor.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_set>

#include "archive/edit_names.h"
#include "archive/edit_planner.h"
#include "archive/writer.h"
#include "text/ascii_fold.h"

namespace {

std::string quoted(const std::string& cp437) {
    return "'" + shownName(cp437) + "'";
}

uint64_t dataSize(const EditRequest& request) {
    return request.source == EDIT_SOURCE_BYTES ? request.bytes.size() : request.hostSize;
}

// The names of a path, split at '/' and '\', empty ones left out.
std::vector<std::string> splitPath(const std::string& path) {
    std::vector<std::string> names;
    std::string name;
    for (char c : path) {
        if (c == '/' || c == '\\') {
            if (!name.empty())
                names.push_back(std::move(name));
            name.clear();
        } else {
            name += c;
        }
    }
    if (!name.empty())
        names.push_back(std::move(name));
    return names;
}

void setName(DirRecord* record, const std::string& name) {
    std::memset(record->name, 0, sizeof record->name);
    std::memcpy(record->name, name.data(), std::min(name.size(), DIR_NAME_SIZE));
}

std::string plural(size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

const char* verb(EditOperation operation) {
    switch (operation) {
        case EDIT_REPLACE:
            return "replace";
        case EDIT_ADD:
            return "add";
        case EDIT_DELETE:
            return "delete";
        case EDIT_RENAME:
            return "rename";
        case EDIT_MKDIR:
            return "make directory";
    }
    return "change";
}

std::string describe(const std::vector<EditRequest>& requests) {
    if (requests.size() == 1) {
        const EditRequest& only = requests[0];
        std::string line = std::string(verb(only.operation)) + " " + shownName(only.path);
        if (only.operation == EDIT_RENAME)
            line += " to " + shownName(only.newName);
        return line;
    }
    const bool alike = std::all_of(requests.begin(), requests.end(), [&](const EditRequest& r) {
        return r.operation == requests[0].operation;
    });
    if (alike && requests[0].operation != EDIT_RENAME) {
        std::string line = verb(requests[0].operation);
        for (size_t i = 0; i < requests.size() && i < 3; ++i)
            line += (i == 0 ? " " : ", ") + shownName(requests[i].path);
        if (requests.size() > 3)
            line += " and " + std::to_string(requests.size() - 3) + " more";
        return line;
    }
    size_t counts[5] = {};
    for (const EditRequest& request : requests) ++counts[request.operation];
    std::string line = plural(requests.size(), "change", "changes") + ":";
    const char* separator = " ";
    for (int operation = EDIT_REPLACE; operation <= EDIT_MKDIR; ++operation) {
        if (counts[operation] == 0)
            continue;
        line += separator + std::string(verb(static_cast<EditOperation>(operation))) + " " +
                std::to_string(counts[operation]);
        separator = ", ";
    }
    return line;
}

}  // namespace

bool fitsBelowLimit(uint64_t start, uint64_t end) {
    return start <= end && end <= ARCHIVE_SIZE_LIMIT;
}

int EditPlanner::start(const ByteSource& archive, std::string* why) {
    if (!map_.read(archive, why))
        return 0;
    const uint64_t tail = std::max(map_.fileSize(), map_.used().usedEnd());
    space_ = std::make_unique<SpaceAllocator>(map_.used().gapsBelow(map_.fileSize()), tail);
    return 1;
}

std::vector<std::string> EditPlanner::namesOf(const ModelNode* node) const {
    std::vector<std::string> names;
    for (; node != nullptr && node->kind != KIND_ROOT; node = node->parent)
        names.push_back(map_.nameOf(node));
    std::reverse(names.begin(), names.end());
    return names;
}

int EditPlanner::placeData(const EditRequest& request, uint64_t size, const DirRecord* current,
                           uint64_t* place, std::string* why) {
    if (size > ARCHIVE_SIZE_LIMIT) {
        *why =
            quoted(request.path) + " would be 4 GiB or larger; the archive holds files below 4 GiB";
        return 0;
    }
    if (size == 0) {
        *place = current != nullptr ? current->offset : 0;
        return 1;
    }
    // In place only where the entry's own bytes are used by its record alone
    // and lie inside the file, so no other entry can see the change.
    if (current != nullptr && size <= current->size &&
        uint64_t{current->offset} + size <= map_.fileSize() &&
        map_.used().usedOnce(current->offset, uint64_t{current->offset} + size)) {
        *place = current->offset;
    } else if (!allocate(size, true, place, why)) {
        return 0;
    }
    EditWrite write;
    write.offset = *place;
    write.length = size;
    write.phase = EDIT_PHASE_DATA;
    write.source = request.source;
    if (request.source == EDIT_SOURCE_BYTES)
        write.bytes = request.bytes;
    else
        write.hostPath = request.hostPath;
    dataWrites_.push_back(std::move(write));
    return 1;
}

void EditPlanner::eraseRecord(Reading* reading, uint32_t index) {
    Listing* listing = reading->listing;
    listing->records.erase(listing->records.begin() + index);
    reading->slots.erase(reading->slots.begin() + index);
    // Later records move up by one: so do the references to them.
    for (uint32_t j = index; j < reading->slots.size(); ++j) {
        ModelNode* node = reading->slots[j];
        auto moves = [&](RecordRef& ref) {
            if (ref.reading == reading && ref.index == j + 1) {
                ref.index = j;
                return true;
            }
            return false;
        };
        if (!moves(node->first) && node->extra != nullptr) {
            for (RecordRef& ref : node->extra->hidden) {
                if (moves(ref))
                    break;
            }
        }
    }
    for (Reading* child : reading->children) {
        if (child->source > index)
            --child->source;
    }
}

void EditPlanner::bury(ModelNode* node) {
    std::vector<Reading*> pending(node->readings().begin(), node->readings().end());
    node->alive = false;
    while (!pending.empty()) {
        Reading* reading = pending.back();
        pending.pop_back();
        reading->alive = false;
        for (ModelNode* slot : reading->slots) slot->alive = false;
        pending.insert(pending.end(), reading->children.begin(), reading->children.end());
    }
}

int EditPlanner::apply(const EditRequest& request, const EditRequest* later, size_t laterCount,
                       std::string* why) {
    if ((request.operation == EDIT_REPLACE || request.operation == EDIT_ADD) &&
        request.source != EDIT_SOURCE_BYTES && request.source != EDIT_SOURCE_HOST_FILE) {
        *why = "the new data for " + quoted(request.path) + " has no source";
        return 0;
    }
    if (request.operation == EDIT_ADD || request.operation == EDIT_MKDIR)
        return make(request, later, laterCount, why);
    ModelNode* node = map_.find(request.path);
    if (node == nullptr) {
        *why = "no entry " + quoted(request.path) + " in the archive";
        return 0;
    }
    if (node->kind == KIND_FILE && (!node->readings().empty() || node->cut)) {
        *why =
            quoted(request.path) +
            " is a file that a directory record of the same name leads into; it cannot be changed";
        return 0;
    }
    switch (request.operation) {
        case EDIT_REPLACE:
            return replace(request, node, why);
        case EDIT_DELETE:
            return remove(request, node, why);
        case EDIT_RENAME:
            return rename(request, node, why);
        default:
            break;
    }
    *why = "unknown change";
    return 0;
}

int EditPlanner::replace(const EditRequest& request, ModelNode* node, std::string* why) {
    if (node->kind != KIND_FILE) {
        *why = quoted(request.path) + " is a directory, not a file";
        return 0;
    }
    const uint64_t size = dataSize(request);
    const DirRecord current = map_.recordOf(node->first);
    uint64_t place = 0;
    if (!placeData(request, size, &current, &place, why))
        return 0;
    if (current.size != size || current.offset != place) {
        Listing* listing = writable(node->first.reading, why);
        if (listing == nullptr)
            return 0;
        touchRecord(listing, node->first.index);
        DirRecord& record = listing->records[node->first.index];
        record.size = static_cast<uint32_t>(size);
        record.offset = static_cast<uint32_t>(place);
    }
    expected_.push_back({EXPECT_NEW_DATA, namesOf(node), "", size, &request});
    return 1;
}

int EditPlanner::remove(const EditRequest& request, ModelNode* node, std::string* why) {
    std::vector<RecordRef> refs{node->first};
    refs.insert(refs.end(), node->hidden().begin(), node->hidden().end());
    // Each listing is made writable once, then its records go from the last
    // up, so that the indices still to come stay right.
    std::sort(refs.begin(), refs.end(), [](const RecordRef& a, const RecordRef& b) {
        return a.reading != b.reading ? a.reading < b.reading : a.index > b.index;
    });
    for (size_t i = 0; i < refs.size(); ++i) {
        if (i == 0 || refs[i].reading != refs[i - 1].reading) {
            Listing* listing = writable(refs[i].reading, why);
            if (listing == nullptr)
                return 0;
            shift(listing);
        }
    }
    expected_.push_back({EXPECT_DELETE, namesOf(node), "", 0, nullptr});
    if (!node->hidden().empty()) {
        notes_.push_back(shownName(request.path) + ": " +
                         plural(node->hidden().size(), "record", "records") +
                         " of the same name that the loader passes over went with it");
    }
    map_.unindex(node);
    bury(node);
    for (const RecordRef& ref : refs) eraseRecord(ref.reading, ref.index);
    return 1;
}

int EditPlanner::rename(const EditRequest& request, ModelNode* node, std::string* why) {
    if (!checkNewEntryName(request.newName, why))
        return 0;
    ModelNode* taken = map_.child(node->parent, request.newName);
    if (taken != nullptr && taken != node) {
        *why = "the name " + quoted(request.newName) + " is taken in that directory (" +
               quoted(map_.nameOf(taken)) + "; letter case does not count)";
        return 0;
    }
    std::vector<RecordRef> refs{node->first};
    refs.insert(refs.end(), node->hidden().begin(), node->hidden().end());
    for (const RecordRef& ref : refs) {
        Listing* listing = writable(ref.reading, why);
        if (listing == nullptr)
            return 0;
        touchRecord(listing, ref.index);
    }
    expected_.push_back({EXPECT_RENAME, namesOf(node), request.newName, 0, nullptr});
    if (!node->hidden().empty()) {
        notes_.push_back(shownName(request.path) + ": " +
                         plural(node->hidden().size(), "record", "records") +
                         " of the same name that the loader passes over were renamed with it");
    }
    map_.unindex(node);
    for (const RecordRef& ref : refs) setName(&map_.recordOf(ref), request.newName);
    map_.index(node);
    return 1;
}

int EditPlanner::make(const EditRequest& request, const EditRequest* later, size_t laterCount,
                      std::string* why) {
    const bool file = request.operation == EDIT_ADD;
    if (ModelNode* existing = map_.find(request.path)) {
        if (file && existing->kind == KIND_FILE)
            *why = quoted(request.path) + " already exists; --replace changes a file";
        else if (existing->kind == KIND_FILE)
            *why = quoted(request.path) + " already exists as a file";
        else
            *why = "the directory " + quoted(request.path) + " already exists";
        return 0;
    }
    const std::vector<std::string> names = splitPath(request.path);
    if (names.empty()) {
        *why = "no path given for the new entry";
        return 0;
    }
    ModelNode* directory = map_.root();
    size_t at = 0;
    std::string walked;
    for (; at + 1 < names.size(); ++at) {
        ModelNode* next = map_.child(directory, names[at]);
        if (next == nullptr)
            break;
        walked += (walked.empty() ? "" : "/") + map_.nameOf(next);
        if (next->kind != KIND_SUBDIR) {
            *why = quoted(walked) + " is not a directory";
            return 0;
        }
        directory = next;
    }
    if (directory->cut) {
        *why = quoted(walked) +
               " is a directory cut at a cycle of listings; nothing can be added to it";
        return 0;
    }
    for (size_t i = at; i < names.size(); ++i) {
        if (!checkNewEntryName(names[i], why))
            return 0;
    }
    if (ModelNode* taken = map_.child(directory, names[at])) {
        *why = "the name " + quoted(names[at]) + " is taken in " +
               (walked.empty() ? std::string("the root") : quoted(walked)) + " (" +
               quoted(map_.nameOf(taken)) + "; letter case does not count)";
        return 0;
    }
    // A new record in the root may need the room right after the root
    // listing: it is made once for every later request that adds to the
    // root. Counted only when that room must be made, which is seldom: a
    // count for every request would make adding many files to the root
    // take time that grows with the cube of their number.
    auto rootRecords = [&]() -> uint64_t {
        std::unordered_set<std::string> firsts{foldAsciiText(names[0])};
        for (size_t i = 0; i < laterCount; ++i) {
            if (later[i].operation != EDIT_ADD && later[i].operation != EDIT_MKDIR)
                continue;
            const std::vector<std::string> theirs = splitPath(later[i].path);
            if (!theirs.empty() && map_.child(map_.root(), theirs[0]) == nullptr)
                firsts.insert(foldAsciiText(theirs[0]));
        }
        return firsts.size();
    };
    for (size_t i = at; i < names.size(); ++i) {
        const bool last = i + 1 == names.size();
        // The room for the record comes first: making room after the root
        // listing moves what lies there, and new bytes must not be among it.
        Reading* into = directory->readings().front();
        Listing* listing = grow(into, rootRecords, why);
        if (listing == nullptr)
            return 0;
        DirRecord record;
        setName(&record, names[i]);
        Listing* fresh = nullptr;
        if (last && file) {
            record.type = TYPE_FILE;
            uint64_t place = 0;
            if (!placeData(request, dataSize(request), nullptr, &place, why))
                return 0;
            record.size = static_cast<uint32_t>(dataSize(request));
            record.offset = static_cast<uint32_t>(place);
        } else {
            // A new directory's listing is laid out with room for the one
            // record the path puts in it, so that it need not move at once.
            fresh = map_.newListing();
            fresh->room = (last ? 1 : 2) * DIR_RECORD_SIZE;
            fresh->placed = true;
            fresh->exclusive = true;
            if (!allocate(fresh->room, false, &fresh->start, why))
                return 0;
            record.type = TYPE_DIRECTORY;
            record.offset = static_cast<uint32_t>(fresh->start);
        }
        listing->records.push_back(record);
        const RecordRef ref{into, static_cast<uint32_t>(listing->records.size() - 1)};
        ModelNode* node = map_.newNode(directory, fresh != nullptr ? KIND_SUBDIR : KIND_FILE, ref);
        into->slots.push_back(node);
        if (fresh != nullptr)
            map_.newReading(fresh, into, ref.index, node);
        expected_.push_back({fresh != nullptr ? EXPECT_MAKE_DIR : EXPECT_ADD_FILE, namesOf(node),
                             "", record.size, &request});
        directory = node;
    }
    return 1;
}

int planArchiveEdit(const ByteSource& archive, const std::vector<EditRequest>& requests,
                    EditPlan* plan, std::string* why) {
    if (requests.empty()) {
        *why = "no change asked for";
        return 0;
    }
    EditPlan made;
    std::vector<ExpectedChange> expected;
    {
        // The planner's tables go before the check loads the archive twice,
        // so that the check finds their memory free.
        auto planner = std::make_unique<EditPlanner>();
        if (!planner->start(archive, why))
            return 0;
        for (size_t i = 0; i < requests.size(); ++i) {
            if (!planner->apply(requests[i], requests.data() + i + 1, requests.size() - i - 1, why))
                return 0;
        }
        planner->finish(&made);
        made.notes = planner->notes();
        expected = planner->expected();
    }
    made.description = describe(requests);
    std::string fault;
    if (!verifyEditPlan(archive, made, expected, &fault)) {
        *why = "internal check failed: " + fault + "; nothing written";
        return 0;
    }
    *plan = std::move(made);
    return 1;
}
