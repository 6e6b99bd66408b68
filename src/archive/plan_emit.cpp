// A listing placed by the change is written whole; one changed where it lies
// is written only where its bytes differ from what was read, so that a
// rename costs a 32-byte patch and a new size and offset 8 bytes.
#include <algorithm>
#include <array>
#include <cstdint>

#include "archive/edit_planner.h"

namespace {

using RecordBytes = std::array<unsigned char, DIR_RECORD_SIZE>;

RecordBytes encoded(const DirRecord& record) {
    RecordBytes bytes;
    encodeDirRecord(record, bytes.data());
    return bytes;
}

EditWrite bytesWrite(uint64_t offset, EditWritePhase phase, std::vector<uint8_t> bytes) {
    EditWrite write;
    write.offset = offset;
    write.length = bytes.size();
    write.phase = phase;
    write.source = EDIT_SOURCE_BYTES;
    write.bytes = std::move(bytes);
    return write;
}

void wholeListing(const Listing& listing, std::vector<EditWrite>* writes) {
    std::vector<uint8_t> bytes;
    bytes.reserve((listing.records.size() + 1) * DIR_RECORD_SIZE);
    for (const DirRecord& record : listing.records) {
        const RecordBytes one = encoded(record);
        bytes.insert(bytes.end(), one.begin(), one.end());
    }
    const RecordBytes end = encoded(listing.endRecord);
    bytes.insert(bytes.end(), end.begin(), end.end());
    writes->push_back(bytesWrite(listing.start, EDIT_PHASE_DATA, std::move(bytes)));
}

void changedRecords(const Listing& listing, std::vector<EditWrite>* writes) {
    const size_t oldCount = listing.originalCount;
    const size_t newCount = listing.records.size();
    // A listing cut short by the file's end keeps no end record unless its
    // records moved: writing one would only lengthen the file.
    const size_t slots =
        newCount == oldCount && !listing.originalTerminated ? newCount : newCount + 1;
    std::vector<uint8_t> run;
    uint64_t runStart = 0;
    size_t pendingSame = 0;  // unchanged bytes after the run's last change
    auto flush = [&]() {
        if (run.empty())
            return;
        run.resize(run.size() - pendingSame);
        writes->push_back(bytesWrite(runStart, EDIT_PHASE_PATCH, std::move(run)));
        run.clear();
        pendingSame = 0;
    };
    auto asRead = [&](size_t slot) -> const DirRecord& {
        if (listing.shifted)
            return listing.original[slot];
        auto saved = listing.saved.find(static_cast<uint32_t>(slot));
        return saved != listing.saved.end() ? saved->second : listing.records[slot];
    };
    auto visit = [&](size_t slot) {
        const RecordBytes now =
            encoded(slot < newCount ? listing.records[slot] : listing.endRecord);
        bool known = slot < oldCount || (slot == oldCount && listing.originalTerminated);
        RecordBytes before{};
        if (slot < oldCount)
            before = encoded(asRead(slot));
        else if (known)
            before = encoded(listing.endRecord);
        const uint64_t at = listing.start + slot * DIR_RECORD_SIZE;
        for (size_t i = 0; i < DIR_RECORD_SIZE; ++i) {
            const bool differs = !known || now[i] != before[i];
            if (!differs) {
                if (!run.empty()) {
                    run.push_back(now[i]);
                    ++pendingSame;
                    // Patches further apart than a record are written apart.
                    if (pendingSame > DIR_RECORD_SIZE)
                        flush();
                }
                continue;
            }
            if (run.empty())
                runStart = at + i;
            run.push_back(now[i]);
            pendingSame = 0;
        }
    };
    // Only the slots that may differ are compared, so that changing a few
    // records of a listing of millions costs a few records. The slots skipped
    // hold what they held: two or more of them end a patch, one may still
    // join two patches.
    size_t last = SIZE_MAX;
    auto visitFrom = [&](size_t slot) {
        if (last != SIZE_MAX && slot > last + 1) {
            if (slot == last + 2)
                visit(last + 1);
            else
                flush();
        }
        visit(slot);
        last = slot;
    };
    if (listing.shifted) {
        for (size_t slot = 0; slot < slots; ++slot) visitFrom(slot);
    } else {
        for (const auto& [slot, record] : listing.saved) visitFrom(slot);
        for (size_t slot = oldCount; slot < slots; ++slot) visitFrom(slot);
    }
    flush();
}

}  // namespace

void EditPlanner::finish(EditPlan* plan) {
    plan->oldLength = map_.fileSize();
    plan->writes = dataWrites_;
    std::vector<EditWrite> patches;
    for (Listing* listing : liveListings()) {
        if (listing->placed)
            wholeListing(*listing, &plan->writes);
        else if (listing->changed)
            changedRecords(*listing, &patches);
    }
    std::sort(patches.begin(), patches.end(),
              [](const EditWrite& a, const EditWrite& b) { return a.offset < b.offset; });
    for (EditWrite& patch : patches) plan->writes.push_back(std::move(patch));
    plan->newLength = plan->oldLength;
    for (const EditWrite& write : plan->writes)
        plan->newLength = std::max(plan->newLength, write.offset + write.length);
    if (movedForRoot_ != 0) {
        notes_.push_back(
            std::to_string(movedForRoot_) +
            (movedForRoot_ == 1 ? " listing or file was" : " listings and files were") +
            " moved to make room in the root listing; their bytes are unchanged");
    }
}
