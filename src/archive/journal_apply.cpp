// Applying a plan as one journal step: the plan checked, the old bytes saved
// and synced, the archive written, the step marked complete.
#include <algorithm>
#include <vector>

#include "archive/journal.h"
#include "archive/journal_steps.h"
#include "archive/writer.h"
#include "platform/archive_file.h"
#include "platform/host_files.h"

namespace {

bool overlaps(uint64_t a, uint64_t aLength, uint64_t b, uint64_t bLength) {
    return aLength > 0 && bLength > 0 && a < b + bLength && b < a + aLength;
}

int refuse(std::string* why, std::string text) {
    *why = std::move(text);
    return 0;
}

// A host file's bytes must still be the ones the plan was made for, and
// moved archive bytes must still be the old ones when they are read.
int checkWrite(const EditPlan& plan, size_t index, std::string* why) {
    const EditWrite& write = plan.writes[index];
    switch (write.source) {
        case EDIT_SOURCE_BYTES:
            if (write.bytes.size() != write.length)
                return refuse(why, "the change is inconsistent: a write's bytes do not match it");
            return 1;
        case EDIT_SOURCE_HOST_FILE: {
            HostFileInfo info;
            std::string cause;
            if (!inspectHostPath(write.hostPath, true, &info, &cause))
                return refuse(why, "cannot read '" + write.hostPath + "': " + cause);
            if (info.kind != HOST_FILE)
                return refuse(why, "'" + write.hostPath + "' is not a regular file");
            if (info.size != write.length)
                return refuse(why, "'" + write.hostPath + "' changed: it holds " +
                                       std::to_string(info.size) + " bytes, not " +
                                       std::to_string(write.length));
            return 1;
        }
        case EDIT_SOURCE_ARCHIVE:
            if (write.sourceOffset > plan.oldLength ||
                write.length > plan.oldLength - write.sourceOffset)
                return refuse(why,
                              "the change is inconsistent: it moves bytes past the archive's end");
            for (size_t i = 0; i < index; ++i) {
                const EditWrite& earlier = plan.writes[i];
                if (overlaps(earlier.offset, earlier.length, write.sourceOffset, write.length))
                    return refuse(why,
                                  "the change is inconsistent: it moves bytes it has overwritten");
            }
            return 1;
    }
    return refuse(why, "the change is inconsistent: a write has no source");
}

// Everything that can be known before the first byte is written.
int checkPlan(const ByteSource& archive, const EditPlan& plan, std::string* why) {
    if (plan.oldLength != archive.size())
        return refuse(why, "the archive's length changed since the change was worked out");
    if (plan.newLength > ARCHIVE_SIZE_LIMIT)
        return refuse(why, "the change would make the archive 4 GiB or larger");
    bool patching = false;
    for (size_t i = 0; i < plan.writes.size(); ++i) {
        const EditWrite& write = plan.writes[i];
        if (write.phase == EDIT_PHASE_PATCH)
            patching = true;
        else if (patching)
            return refuse(why, "the change is inconsistent: new data after record patches");
        if (write.offset > plan.newLength || write.length > plan.newLength - write.offset)
            return refuse(why, "the change is inconsistent: a write lies past the archive's end");
        if (!checkWrite(plan, i, why))
            return 0;
    }
    return 1;
}

// Collects a STEP payload in blocks on its way into the journal, with its check.
class PayloadSink {
  public:
    PayloadSink(ByteStore& journal, uint64_t at) : journal_(journal), at_(at) {
        // Room for the most a block can hold before it is flushed, taken at
        // once: growing it step by step would touch (and fault in) twice the
        // memory, which costs a change of many small files more than its writes.
        pending_.reserve(2 * JOURNAL_BLOCK_SIZE);
    }

    int put(const void* bytes, size_t count, std::string* why) {
        const auto* from = static_cast<const unsigned char*>(bytes);
        check_ = extendChecksum(check_, from, count);
        pending_.insert(pending_.end(), from, from + count);
        return pending_.size() >= JOURNAL_BLOCK_SIZE ? flush(why) : 1;
    }

    int flush(std::string* why) {
        if (pending_.empty())
            return 1;
        if (!journal_.writeAt(at_, pending_.data(), pending_.size(), why))
            return 0;
        at_ += pending_.size();
        pending_.clear();
        return 1;
    }

    uint32_t check() const { return check_; }

  private:
    ByteStore& journal_;
    uint64_t at_;
    uint32_t check_ = 0;
    std::vector<unsigned char> pending_;
};

int putRange(const ByteSource& archive, PayloadSink& sink, const StepRange& range,
             std::vector<unsigned char>& block, std::string* why) {
    unsigned char header[RANGE_HEADER_SIZE];
    encodeStepRange(range, header);
    return sink.put(header, RANGE_HEADER_SIZE, why) &&
           forEachBlock(archive, range.offset, range.saved, block,
                        "cannot read the archive's bytes the change overwrites", why,
                        [&](const unsigned char* bytes, size_t count, uint64_t) {
                            return sink.put(bytes, count, why);
                        });
}

// Writes the STEP record at `start`: its payload first and its header last,
// so that a record cut short never reads as whole.
int writeStepRecord(const ByteSource& archive, ByteStore& journal, uint64_t start,
                    const EditPlan& plan, int64_t time, JournalStep* step, std::string* why) {
    std::vector<StepRange> ranges;
    StepFixed fixed;
    fixed.time = time;
    fixed.oldLength = plan.oldLength;
    fixed.plannedLength = plan.newLength;
    fixed.descriptionLength = static_cast<uint32_t>(plan.description.size());
    for (const EditWrite& write : plan.writes) {
        const uint64_t saved = write.offset < plan.oldLength
                                   ? std::min(write.length, plan.oldLength - write.offset)
                                   : 0;
        ranges.push_back({write.offset, write.length, saved, RANGE_WRITE});
        fixed.written += write.length;
    }
    // Bytes a shorter archive loses are saved like overwritten ones.
    if (plan.newLength < plan.oldLength) {
        const uint64_t cut = plan.oldLength - plan.newLength;
        ranges.push_back({plan.newLength, cut, cut, RANGE_CUT});
    }
    fixed.rangeCount = static_cast<uint32_t>(ranges.size());
    uint64_t payloadLength = STEP_FIXED_SIZE + plan.description.size();
    for (const StepRange& range : ranges) payloadLength += RANGE_HEADER_SIZE + range.saved;

    PayloadSink sink(journal, start + RECORD_HEADER_SIZE);
    unsigned char fixedBytes[STEP_FIXED_SIZE];
    encodeStepFixed(fixed, fixedBytes);
    if (!sink.put(fixedBytes, STEP_FIXED_SIZE, why) ||
        !sink.put(plan.description.data(), plan.description.size(), why))
        return 0;
    std::vector<unsigned char> block;
    for (const StepRange& range : ranges) {
        if (!putRange(archive, sink, range, block, why))
            return 0;
    }
    if (!sink.flush(why))
        return 0;
    step->start = start;
    step->record = RecordHeader{RECORD_STEP, sink.check(), payloadLength};
    step->fixed = fixed;
    step->description = plan.description;
    step->state = STEP_IN_PROGRESS;
    unsigned char header[RECORD_HEADER_SIZE];
    encodeRecordHeader(step->record, header);
    return journal.writeAt(start, header, RECORD_HEADER_SIZE, why);
}

int copyHostFile(ByteStore& archive, const EditWrite& write, std::vector<unsigned char>& block,
                 std::string* why) {
    ArchiveFile file;
    std::string cause;
    if (!file.open(write.hostPath.c_str(), &cause))
        return refuse(why, "cannot read '" + write.hostPath + "': " + cause);
    if (file.size() != write.length)
        return refuse(why, "'" + write.hostPath + "' changed while the archive was being changed");
    if (!forEachBlock(file, 0, write.length, block, "cannot read '" + write.hostPath + "' whole",
                      why, [&](const unsigned char* bytes, size_t count, uint64_t at) {
                          return archive.writeAt(write.offset + at, bytes, count, why);
                      }))
        return 0;
    unsigned char more;
    if (file.readAt(write.length, &more, 1) != 0)
        return refuse(why, "'" + write.hostPath + "' grew while it was read");
    return 1;
}

// Moves bytes within the archive, from the end backwards when the target
// lies after an overlapping source, so that no byte is read after it was written.
int copyWithinArchive(ByteStore& archive, const EditWrite& write, std::vector<unsigned char>& block,
                      std::string* why) {
    const bool backwards = write.offset > write.sourceOffset &&
                           overlaps(write.offset, write.length, write.sourceOffset, write.length);
    for (uint64_t done = 0; done < write.length;) {
        const size_t want =
            static_cast<size_t>(std::min<uint64_t>(block.size(), write.length - done));
        const uint64_t at = backwards ? write.length - done - want : done;
        if (!readExactly(archive, write.sourceOffset + at, block.data(), want))
            return refuse(why, "cannot read the archive's bytes the change moves");
        if (!archive.writeAt(write.offset + at, block.data(), want, why))
            return 0;
        done += want;
    }
    return 1;
}

int writeChange(ByteStore& archive, const EditPlan& plan, std::string* why) {
    // No bigger than the largest copy needs: a zeroed block of the full size
    // would cost more than copying many small files.
    uint64_t largest = 0;
    for (const EditWrite& write : plan.writes) {
        if (write.source != EDIT_SOURCE_BYTES)
            largest = std::max(largest, write.length);
    }
    std::vector<unsigned char> block(
        static_cast<size_t>(std::min<uint64_t>(JOURNAL_BLOCK_SIZE, largest)));
    for (const EditWrite& write : plan.writes) {
        int done = 1;
        if (write.source == EDIT_SOURCE_BYTES)
            done = archive.writeAt(write.offset, write.bytes.data(), write.bytes.size(), why);
        else if (write.source == EDIT_SOURCE_HOST_FILE)
            done = copyHostFile(archive, write, block, why);
        else
            done = copyWithinArchive(archive, write, block, why);
        if (!done)
            return 0;
    }
    if (archive.size() != plan.newLength && !archive.setLength(plan.newLength, why))
        return 0;
    return archive.sync(why);
}

int markComplete(const ByteSource& archive, ByteStore& journal, JournalContents* contents,
                 std::string* why) {
    JournalStep& step = contents->steps.back();
    uint32_t check = 0;
    if (!writtenChecksum(archive, journal, step, &check, why))
        return 0;
    unsigned char record[RECORD_HEADER_SIZE + COMPLETE_PAYLOAD_SIZE];
    unsigned char* payload = record + RECORD_HEADER_SIZE;
    encodeFixed64(payload + COMPLETE_LENGTH_OFFSET, archive.size());
    encodeFixed32(payload + COMPLETE_CHECK_OFFSET, check);
    encodeRecordHeader(
        RecordHeader{RECORD_COMPLETE, extendChecksum(0, payload, COMPLETE_PAYLOAD_SIZE),
                     COMPLETE_PAYLOAD_SIZE},
        record);
    if (!journal.writeAt(contents->end, record, sizeof record, why) || !journal.sync(why))
        return 0;
    step.state = STEP_COMPLETE;
    step.newLength = archive.size();
    step.writtenCheck = check;
    contents->end += sizeof record;
    return 1;
}

// After a failure once the step is in the journal: the archive goes back at
// once, or, should that fail too, at the next open.
int rollBackNow(ByteStore& archive, ByteStore& journal, JournalContents* contents,
                std::string* why) {
    std::string ignored;
    if (!restoreStep(archive, journal, contents->steps.back(), &ignored) ||
        !dropLastStep(journal, contents, &ignored))
        *why += "; the archive will be put back as it was when it is next opened";
    return 0;
}

}  // namespace

int applyJournalStep(ByteStore& archive, ByteStore& journal, JournalContents* contents,
                     const FileIdentity& identity, const EditPlan& plan, int64_t time,
                     std::string* why) {
    if (contents->state == JOURNAL_FOREIGN)
        return refuse(why, "the journal is not one this program can read");
    if (!contents->steps.empty() && contents->steps.back().state != STEP_COMPLETE)
        return refuse(why, "an unfinished change must be rolled back first");
    if (!checkPlan(archive, plan, why))
        return 0;

    const bool fresh = contents->state != JOURNAL_PRESENT;
    const uint64_t start = fresh ? JOURNAL_HEADER_SIZE : contents->end;
    JournalStep step;
    std::string cause;
    bool saved =
        journal.size() == (fresh ? 0 : start) || journal.setLength(fresh ? 0 : start, &cause);
    if (saved && fresh) {
        unsigned char header[JOURNAL_HEADER_SIZE];
        encodeJournalHeader(identity, header);
        saved = journal.writeAt(0, header, JOURNAL_HEADER_SIZE, &cause);
    }
    saved = saved && writeStepRecord(archive, journal, start, plan, time, &step, &cause) &&
            journal.sync(&cause);
    if (!saved) {
        // The archive is untouched; what part of the step reached the journal
        // is cut off now or, failing that, dropped as torn at the next open.
        std::string ignored;
        journal.setLength(fresh ? 0 : start, &ignored);
        return refuse(why, "cannot write the journal: " + cause);
    }
    if (fresh) {
        contents->state = JOURNAL_PRESENT;
        contents->identity = identity;
    }
    contents->end = start + RECORD_HEADER_SIZE + step.record.payloadLength;
    contents->steps.push_back(std::move(step));

    if (!writeChange(archive, plan, why) || !markComplete(archive, journal, contents, why))
        return rollBackNow(archive, journal, contents, why);
    return 1;
}
