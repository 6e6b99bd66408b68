#include "archive/journal_steps.h"

#include <algorithm>
#include <vector>

bool readExactly(const ByteSource& source, uint64_t offset, void* buffer, size_t count) {
    return source.readAt(offset, buffer, count) == static_cast<int64_t>(count);
}

namespace {

uint64_t payloadStart(const JournalStep& step) {
    return step.start + RECORD_HEADER_SIZE;
}

}  // namespace

int forEachBlock(const ByteSource& source, uint64_t offset, uint64_t length,
                 std::vector<unsigned char>& block, std::string_view unreadable, std::string* why,
                 const std::function<int(const unsigned char*, size_t, uint64_t)>& use) {
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(JOURNAL_BLOCK_SIZE, length));
    if (block.size() < wanted)
        block.resize(wanted);
    for (uint64_t at = 0; at < length;) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(block.size(), length - at));
        if (!readExactly(source, offset + at, block.data(), want)) {
            if (why != nullptr)
                *why = unreadable;
            return 0;
        }
        if (!use(block.data(), want, at))
            return 0;
        at += want;
    }
    return 1;
}

bool stepPayloadIsWhole(const ByteSource& journal, const JournalStep& step) {
    std::vector<unsigned char> block;
    uint32_t check = 0;
    return forEachBlock(journal, payloadStart(step), step.record.payloadLength, block, "", nullptr,
                        [&](const unsigned char* bytes, size_t count, uint64_t) {
                            check = extendChecksum(check, bytes, count);
                            return 1;
                        }) &&
           check == step.record.payloadCheck;
}

int forEachStepRange(const ByteSource& journal, const JournalStep& step,
                     const std::function<int(const StepRange&, uint64_t savedAt)>& visit,
                     std::string* why) {
    const uint64_t end = step.record.payloadLength;
    uint64_t at = STEP_FIXED_SIZE + step.fixed.descriptionLength;
    for (uint32_t i = 0; i < step.fixed.rangeCount; ++i) {
        unsigned char header[RANGE_HEADER_SIZE];
        if (at + RANGE_HEADER_SIZE > end ||
            !readExactly(journal, payloadStart(step) + at, header, RANGE_HEADER_SIZE)) {
            *why = "the journal is damaged: a step's ranges run past its record";
            return 0;
        }
        const StepRange range = decodeStepRange(header);
        at += RANGE_HEADER_SIZE;
        // Saved bytes are the old bytes of the range below the old length.
        if (range.saved > range.length || range.saved > end - at ||
            (range.saved > 0 && (range.offset > step.fixed.oldLength ||
                                 range.saved > step.fixed.oldLength - range.offset))) {
            *why = "the journal is damaged: a step's saved bytes do not fit their range";
            return 0;
        }
        if (!visit(range, payloadStart(step) + at))
            return 0;
        at += range.saved;
    }
    return 1;
}

int writtenChecksum(const ByteSource& archive, const ByteSource& journal, const JournalStep& step,
                    uint32_t* check, std::string* why) {
    std::vector<unsigned char> block;
    uint32_t crc = 0;
    const int done = forEachStepRange(
        journal, step,
        [&](const StepRange& range, uint64_t) {
            if (range.kind != RANGE_WRITE)
                return 1;
            return forEachBlock(archive, range.offset, range.length, block,
                                "the archive is shorter than the bytes the change wrote", why,
                                [&](const unsigned char* bytes, size_t count, uint64_t) {
                                    crc = extendChecksum(crc, bytes, count);
                                    return 1;
                                });
        },
        why);
    if (done)
        *check = crc;
    return done;
}

int restoreStep(ByteStore& archive, const ByteSource& journal, const JournalStep& step,
                std::string* why) {
    std::vector<unsigned char> block;
    // Every saved byte is the byte as it was before the step, so ranges that
    // overlap hold the same bytes where they meet and their order is free.
    const int done = forEachStepRange(
        journal, step,
        [&](const StepRange& range, uint64_t savedAt) {
            return forEachBlock(journal, savedAt, range.saved, block, "cannot read the journal",
                                why, [&](const unsigned char* bytes, size_t count, uint64_t at) {
                                    return archive.writeAt(range.offset + at, bytes, count, why);
                                });
        },
        why);
    if (!done)
        return 0;
    if (archive.size() != step.fixed.oldLength && !archive.setLength(step.fixed.oldLength, why))
        return 0;
    return archive.sync(why);
}

int dropLastStep(ByteStore& journal, JournalContents* contents, std::string* why) {
    // A journal with no step left is emptied, for its file to be removed.
    const uint64_t length = contents->steps.size() == 1 ? 0 : contents->steps.back().start;
    if (!journal.setLength(length, why) || !journal.sync(why))
        return 0;
    contents->steps.pop_back();
    contents->end = length;
    if (length == 0)
        contents->state = JOURNAL_ABSENT;
    return 1;
}
