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

bool stepPayloadIsWhole(const ByteSource& journal, const JournalStep& step) {
    std::vector<unsigned char> block(JOURNAL_BLOCK_SIZE);
    uint32_t check = 0;
    for (uint64_t done = 0; done < step.record.payloadLength;) {
        const size_t want =
            static_cast<size_t>(std::min<uint64_t>(block.size(), step.record.payloadLength - done));
        if (!readExactly(journal, payloadStart(step) + done, block.data(), want))
            return false;
        check = extendChecksum(check, block.data(), want);
        done += want;
    }
    return check == step.record.payloadCheck;
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
            block.resize(static_cast<size_t>(std::min<uint64_t>(JOURNAL_BLOCK_SIZE, range.length)));
            for (uint64_t at = 0; at < range.length;) {
                const size_t want =
                    static_cast<size_t>(std::min<uint64_t>(block.size(), range.length - at));
                if (!readExactly(archive, range.offset + at, block.data(), want)) {
                    *why = "the archive is shorter than the bytes the change wrote";
                    return 0;
                }
                crc = extendChecksum(crc, block.data(), want);
                at += want;
            }
            return 1;
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
            block.resize(static_cast<size_t>(std::min<uint64_t>(JOURNAL_BLOCK_SIZE, range.saved)));
            for (uint64_t at = 0; at < range.saved;) {
                const size_t want =
                    static_cast<size_t>(std::min<uint64_t>(block.size(), range.saved - at));
                if (!readExactly(journal, savedAt + at, block.data(), want)) {
                    *why = "cannot read the journal";
                    return 0;
                }
                if (!archive.writeAt(range.offset + at, block.data(), want, why))
                    return 0;
                at += want;
            }
            return 1;
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
