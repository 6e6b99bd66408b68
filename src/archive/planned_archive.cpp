#include "archive/planned_archive.h"

#include <algorithm>
#include <cstring>

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
    // An empty range (a file of no bytes) has nothing a write could change.
    if (start >= end)
        return found;
    // The first write reaching past `start`. Callers mostly ask in the order
    // of offsets, so the place found last time is tried first.
    size_t first = hint_;
    if (first > reach_.size() || (first > 0 && reach_[first - 1] > start) ||
        (first < reach_.size() && reach_[first] <= start)) {
        first = static_cast<size_t>(std::upper_bound(reach_.begin(), reach_.end(), start) -
                                    reach_.begin());
        hint_ = first;
    }
    for (size_t i = first; i < order_.size(); ++i) {
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
    // Bytes past the old end that no write fills read as zero.
    size_t below = 0;
    if (offset < archive_.size()) {
        below = static_cast<size_t>(std::min<uint64_t>(length, archive_.size() - offset));
        const int64_t got = archive_.readAt(offset, out, below);
        if (got < 0)
            return -1;
        below = static_cast<size_t>(got);
    }
    std::memset(out + below, 0, length - below);
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
