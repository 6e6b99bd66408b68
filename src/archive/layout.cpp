#include "archive/layout.h"

#include <algorithm>
#include <functional>
#include <queue>

#include "archive/writer.h"

void UsedRanges::add(uint64_t start, uint64_t end) {
    if (start >= end)
        return;
    // A range that starts where the last one ended counts its bytes once
    // either way: joined, an archive whose data lies in record order (as
    // --create writes it) adds up to a handful of ranges.
    if (!added_.empty() && added_.back().end == start)
        added_.back().end = end;
    else
        added_.push_back({start, end});
}

void UsedRanges::finish() {
    // A sweep over the ranges by start, with the ends of those still open in
    // a heap: ranges added in file order (as an archive written in one go
    // mostly is) need no sort, and disjoint ones keep the heap at one.
    auto byStart = [](const ByteRange& a, const ByteRange& b) { return a.start < b.start; };
    if (!std::is_sorted(added_.begin(), added_.end(), byStart))
        std::sort(added_.begin(), added_.end(), byStart);
    segments_.clear();
    std::priority_queue<uint64_t, std::vector<uint64_t>, std::greater<uint64_t>> ends;
    auto emit = [&](uint64_t start, uint64_t end) {
        const auto counted = static_cast<uint32_t>(std::min<size_t>(ends.size(), UINT32_MAX));
        if (!segments_.empty() && segments_.back().end == start &&
            segments_.back().count == counted)
            segments_.back().end = end;
        else
            segments_.push_back({start, end, counted});
    };
    size_t next = 0;
    uint64_t position = 0;
    while (next < added_.size() || !ends.empty()) {
        if (ends.empty())
            position = added_[next].start;
        while (next < added_.size() && added_[next].start == position)
            ends.push(added_[next++].end);
        while (!ends.empty() && ends.top() <= position) ends.pop();
        if (ends.empty())
            continue;
        uint64_t until = ends.top();
        if (next < added_.size())
            until = std::min(until, added_[next].start);
        emit(position, until);
        position = until;
    }
    LargeVector<ByteRange>().swap(added_);
}

LargeVector<UsedRanges::Segment>::const_iterator UsedRanges::segmentAfter(uint64_t position) const {
    return std::upper_bound(segments_.begin(), segments_.end(), position,
                            [](uint64_t p, const Segment& s) { return p < s.end; });
}

bool UsedRanges::usedOnce(uint64_t start, uint64_t end) const {
    if (start >= end)
        return false;
    uint64_t position = start;
    for (auto it = segmentAfter(start); it != segments_.end() && position < end; ++it) {
        if (it->start > position || it->count != 1)
            return false;
        position = it->end;
    }
    return position >= end;
}

bool UsedRanges::unused(uint64_t start, uint64_t end) const {
    if (start >= end)
        return true;
    auto it = segmentAfter(start);
    return it == segments_.end() || it->start >= end;
}

std::vector<ByteRange> UsedRanges::gapsBelow(uint64_t limit) const {
    std::vector<ByteRange> gaps;
    uint64_t position = 0;
    for (const Segment& segment : segments_) {
        if (position >= limit)
            break;
        if (segment.start > position)
            gaps.push_back({position, std::min(segment.start, limit)});
        position = std::max(position, segment.end);
    }
    if (position < limit)
        gaps.push_back({position, limit});
    return gaps;
}

SpaceAllocator::SpaceAllocator(const std::vector<ByteRange>& gaps, uint64_t tail) : tail_(tail) {
    for (const ByteRange& gap : gaps) {
        if (gap.start < gap.end && gap.end <= tail)
            addGap(gap.start, gap.end);
    }
}

void SpaceAllocator::addGap(uint64_t start, uint64_t end) {
    byStart_.emplace(start, end);
    bySize_.emplace(end - start, start);
}

void SpaceAllocator::removeGap(std::map<uint64_t, uint64_t>::iterator gap) {
    bySize_.erase({gap->second - gap->first, gap->first});
    byStart_.erase(gap);
}

int SpaceAllocator::allocate(uint64_t length, bool alignLarge, uint64_t* place) {
    auto fit = bySize_.lower_bound({length, 0});
    if (fit != bySize_.end()) {
        const uint64_t start = fit->second;
        claim(start, start + length);
        *place = start;
        return 1;
    }
    uint64_t start = tail_;
    // Large data at the end starts on a page boundary, as the writer places it.
    if (alignLarge && length >= ALIGN_FILES_FROM && start % FILE_ALIGNMENT != 0)
        start += FILE_ALIGNMENT - start % FILE_ALIGNMENT;
    if (start > ARCHIVE_SIZE_LIMIT || length > ARCHIVE_SIZE_LIMIT - start)
        return 0;
    claim(start, start + length);
    *place = start;
    return 1;
}

bool SpaceAllocator::isFree(uint64_t start, uint64_t end) const {
    if (start >= end || start >= tail_)
        return true;
    auto gap = byStart_.upper_bound(start);
    if (gap == byStart_.begin())
        return false;
    --gap;
    return gap->second >= std::min(end, tail_);
}

void SpaceAllocator::claim(uint64_t start, uint64_t end) {
    if (start >= end)
        return;
    std::vector<std::pair<uint64_t, uint64_t>> touched;
    auto gap = byStart_.upper_bound(start);
    if (gap != byStart_.begin())
        --gap;
    for (; gap != byStart_.end() && gap->first < end; ++gap) {
        if (gap->second > start)
            touched.emplace_back(gap->first, gap->second);
    }
    for (auto [gapStart, gapEnd] : touched) {
        removeGap(byStart_.find(gapStart));
        if (gapStart < start)
            addGap(gapStart, start);
        if (end < gapEnd)
            addGap(end, gapEnd);
    }
    if (end > tail_) {
        // What lies between the old tail and a claim beyond it stays free.
        if (start > tail_)
            addGap(tail_, start);
        tail_ = end;
    }
}

void SpaceAllocator::release(uint64_t start, uint64_t end) {
    if (start >= end)
        return;
    auto after = byStart_.find(end);
    if (after != byStart_.end()) {
        end = after->second;
        removeGap(after);
    }
    auto before = byStart_.lower_bound(start);
    if (before != byStart_.begin()) {
        --before;
        if (before->second == start) {
            start = before->first;
            removeGap(before);
        }
    }
    if (end >= tail_)
        tail_ = start;
    else
        addGap(start, end);
}
