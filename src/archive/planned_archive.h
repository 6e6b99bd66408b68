// An archive as a plan will leave it, read without writing a byte: the
// check loads it with the real loader through this view.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/edit_plan.h"
#include "platform/byte_store.h"

// The writes of a plan by position, to find those that meet a range.
class WriteIndex {
  public:
    explicit WriteIndex(const std::vector<EditWrite>& writes);

    // The indices (in plan order) of the writes that meet [start, end); none
    // when the range is empty.
    std::vector<size_t> meeting(uint64_t start, uint64_t end) const;

  private:
    const std::vector<EditWrite>& writes_;
    std::vector<size_t> order_;    // write indices by offset
    std::vector<uint64_t> reach_;  // the furthest end among order_[0..i]
    mutable size_t hint_ = 0;      // where the last search found its first write
};

// The archive `archive` read through the writes of `plan`: what it will hold
// once the plan's step is complete. Bytes that come from host files are not
// read here: they read as zeros.
class PlannedArchive : public ByteSource {
  public:
    PlannedArchive(const ByteSource& archive, const EditPlan& plan);

    uint64_t size() const override { return plan_.newLength; }
    int64_t readAt(uint64_t offset, void* buffer, size_t count) const override;

  private:
    const ByteSource& archive_;
    const EditPlan& plan_;
    WriteIndex index_;
};
