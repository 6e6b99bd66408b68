// The parts of journal steps that applying, rolling back and undoing share:
// reading a step's ranges and saved bytes back, writing them into the
// archive, and removing a step from the journal. Used by journal.cpp and
// journal_apply.cpp only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/journal.h"

// Bytes moved through memory at a time by the journal's copies.
constexpr size_t JOURNAL_BLOCK_SIZE = 1u << 20;

// Reads exactly `count` bytes at `offset`. Returns true when all were there.
bool readExactly(const ByteSource& source, uint64_t offset, void* buffer, size_t count);

// Hands the `length` bytes of `source` at `offset` to `use` a block at a
// time, read into `block` (grown to at most JOURNAL_BLOCK_SIZE when smaller),
// with each block's place in the run. Returns 1 when all were read and used;
// 0 when `use` returned 0, or when they could not all be read, with
// `unreadable` in `*why` (when not null).
int forEachBlock(
    const ByteSource& source, uint64_t offset, uint64_t length, std::vector<unsigned char>& block,
    std::string_view unreadable, std::string* why,
    const std::function<int(const unsigned char* bytes, size_t count, uint64_t at)>& use);

// True when the payload of `step`'s STEP record in `journal` matches its check.
bool stepPayloadIsWhole(const ByteSource& journal, const JournalStep& step);

// Calls `visit` for every range of `step` in order, with the journal offset of
// the range's saved bytes. Returns 1 when every range was visited; 0 when the
// ranges do not fit the payload or `visit` returned 0, with the cause in `*why`.
int forEachStepRange(const ByteSource& journal, const JournalStep& step,
                     const std::function<int(const StepRange&, uint64_t savedAt)>& visit,
                     std::string* why);

// The CRC-32 of the archive's bytes in every RANGE_WRITE range of `step`, in
// order, as the archive holds them now. Returns 1 with it in `*check`; 0 when
// they cannot be read, with the cause in `*why`.
int writtenChecksum(const ByteSource& archive, const ByteSource& journal, const JournalStep& step,
                    uint32_t* check, std::string* why);

// Writes every saved range of `step` back into `archive`, restores the
// archive's old length and syncs it. Returns 1, or 0 with the cause in `*why`.
int restoreStep(ByteStore& archive, const ByteSource& journal, const JournalStep& step,
                std::string* why);

// Removes the last step of `contents` from `journal` (emptying the journal
// when none is left) and syncs it. Returns 1, or 0 with the cause in `*why`.
int dropLastStep(ByteStore& journal, JournalContents* contents, std::string* why);
