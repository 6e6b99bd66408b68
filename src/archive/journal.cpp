#include "archive/journal.h"

#include <algorithm>
#include <vector>

#include "archive/journal_steps.h"

namespace {

// Reads the fixed part and the description of a STEP record whose header
// `record` was read at `start`. Returns false when they do not fit it.
bool readStep(const ByteSource& journal, uint64_t start, const RecordHeader& record,
              JournalStep* step) {
    if (record.payloadLength < STEP_FIXED_SIZE)
        return false;
    unsigned char fixed[STEP_FIXED_SIZE];
    if (!readExactly(journal, start + RECORD_HEADER_SIZE, fixed, STEP_FIXED_SIZE))
        return false;
    step->start = start;
    step->record = record;
    step->fixed = decodeStepFixed(fixed);
    if (step->fixed.descriptionLength > record.payloadLength - STEP_FIXED_SIZE)
        return false;
    step->description.resize(step->fixed.descriptionLength);
    return readExactly(journal, start + RECORD_HEADER_SIZE + STEP_FIXED_SIZE,
                       step->description.data(), step->description.size());
}

// Reads a COMPLETE record's payload into `step`. Returns false when it is torn.
bool readComplete(const ByteSource& journal, uint64_t start, const RecordHeader& record,
                  JournalStep* step) {
    unsigned char payload[COMPLETE_PAYLOAD_SIZE];
    if (record.payloadLength != COMPLETE_PAYLOAD_SIZE ||
        !readExactly(journal, start + RECORD_HEADER_SIZE, payload, COMPLETE_PAYLOAD_SIZE) ||
        extendChecksum(0, payload, COMPLETE_PAYLOAD_SIZE) != record.payloadCheck)
        return false;
    step->newLength = decodeFixed64(payload + COMPLETE_LENGTH_OFFSET);
    step->writtenCheck = decodeFixed32(payload + COMPLETE_CHECK_OFFSET);
    return true;
}

// Appends a record without payload of `kind` and syncs the journal.
int appendMarker(ByteStore& journal, JournalContents* contents, uint32_t kind, std::string* why) {
    unsigned char header[RECORD_HEADER_SIZE];
    encodeRecordHeader(RecordHeader{kind, extendChecksum(0, nullptr, 0), 0}, header);
    if (!journal.writeAt(contents->end, header, RECORD_HEADER_SIZE, why) || !journal.sync(why))
        return 0;
    contents->end += RECORD_HEADER_SIZE;
    return 1;
}

}  // namespace

int readJournal(const ByteSource& journal, JournalContents* contents, std::string* why) {
    *contents = JournalContents{};
    const uint64_t size = journal.size();
    unsigned char header[JOURNAL_HEADER_SIZE] = {};
    const size_t available = static_cast<size_t>(std::min<uint64_t>(size, JOURNAL_HEADER_SIZE));
    if (!readExactly(journal, 0, header, available)) {
        *why = "cannot read the journal";
        return 0;
    }
    switch (decodeJournalHeader(header, available, &contents->identity)) {
        case JOURNAL_HEADER_TORN:
            return 1;
        case JOURNAL_HEADER_FOREIGN:
            contents->state = JOURNAL_FOREIGN;
            return 1;
        case JOURNAL_HEADER_VALID:
            break;
    }
    contents->state = JOURNAL_PRESENT;
    uint64_t at = JOURNAL_HEADER_SIZE;
    // Records are read up to the first that is torn or out of place: a crash
    // can leave only the end of the journal unfinished, never its middle.
    for (;;) {
        unsigned char bytes[RECORD_HEADER_SIZE];
        RecordHeader record;
        if (size - at < RECORD_HEADER_SIZE ||
            !readExactly(journal, at, bytes, RECORD_HEADER_SIZE) ||
            !decodeRecordHeader(bytes, &record) ||
            record.payloadLength > size - at - RECORD_HEADER_SIZE)
            break;
        std::vector<JournalStep>& steps = contents->steps;
        const JournalStepState last = steps.empty() ? STEP_COMPLETE : steps.back().state;
        if (record.kind == RECORD_STEP && last == STEP_COMPLETE) {
            JournalStep step;
            if (!readStep(journal, at, record, &step))
                break;
            steps.push_back(std::move(step));
        } else if (record.kind == RECORD_COMPLETE && !steps.empty() && last == STEP_IN_PROGRESS) {
            if (!readComplete(journal, at, record, &steps.back()))
                break;
            steps.back().state = STEP_COMPLETE;
        } else if (record.kind == RECORD_UNDOING && !steps.empty() && last == STEP_COMPLETE &&
                   record.payloadLength == 0 &&
                   record.payloadCheck == extendChecksum(0, nullptr, 0)) {
            steps.back().state = STEP_UNDOING;
        } else {
            break;
        }
        at += RECORD_HEADER_SIZE + record.payloadLength;
    }
    contents->end = at;
    return 1;
}

bool journalNeedsRecovery(const JournalContents& contents, uint64_t journalSize) {
    if (contents.state == JOURNAL_FOREIGN)
        return false;
    if (contents.state == JOURNAL_ABSENT)
        return journalSize > 0;
    return journalSize != contents.end || contents.steps.empty() ||
           contents.steps.back().state != STEP_COMPLETE;
}

int recoverJournal(ByteStore& archive, ByteStore& journal, JournalContents* contents,
                   RecoveryAction* action, std::string* description, std::string* why) {
    *action = RECOVERY_NOTHING;
    if (contents->state == JOURNAL_FOREIGN) {
        *why = "the journal is not one this program can read";
        return 0;
    }
    if (contents->state == JOURNAL_ABSENT || contents->steps.empty()) {
        // Nothing recorded: what is there is the start of a journal cut off
        // before it held a whole step.
        if (journal.size() == 0)
            return 1;
        if (!journal.setLength(0, why) || !journal.sync(why))
            return 0;
        *contents = JournalContents{};
        return 1;
    }
    JournalStep& last = contents->steps.back();
    if (last.state == STEP_COMPLETE) {
        if (journal.size() == contents->end)
            return 1;
        return journal.setLength(contents->end, why) && journal.sync(why);
    }
    if (!stepPayloadIsWhole(journal, last)) {
        // The journal is synced before the archive is touched: a step whose
        // saved bytes never became whole never reached the archive.
        if (last.state != STEP_IN_PROGRESS) {
            *why = "the journal is damaged: the change being taken back lacks its saved bytes";
            return 0;
        }
        if (!dropLastStep(journal, contents, why))
            return 0;
        *action = RECOVERY_DROPPED;
        return 1;
    }
    *description = last.description;
    const RecoveryAction done =
        last.state == STEP_UNDOING ? RECOVERY_UNDO_FINISHED : RECOVERY_ROLLED_BACK;
    if (!restoreStep(archive, journal, last, why) || !dropLastStep(journal, contents, why))
        return 0;
    *action = done;
    return 1;
}

int undoJournalStep(ByteStore& archive, ByteStore& journal, JournalContents* contents,
                    std::string* why) {
    if (contents->state != JOURNAL_PRESENT || contents->steps.empty()) {
        *why = "there is no change to undo";
        return 0;
    }
    const JournalStep& last = contents->steps.back();
    if (last.state != STEP_COMPLETE) {
        *why = "an unfinished change must be rolled back first";
        return 0;
    }
    if (!stepPayloadIsWhole(journal, last)) {
        *why = "the journal is damaged: the last change's saved bytes do not match their check";
        return 0;
    }
    uint32_t check = 0;
    if (archive.size() != last.newLength || !writtenChecksum(archive, journal, last, &check, why) ||
        check != last.writtenCheck) {
        *why = "the archive was changed by something else since '" + last.description +
               "'; undo would mix the two, so nothing was changed";
        return 0;
    }
    // Marked first: should the undo be cut short, the next open finishes it
    // as it rolls back any unfinished step.
    if (journal.size() != contents->end && !journal.setLength(contents->end, why))
        return 0;
    if (!appendMarker(journal, contents, RECORD_UNDOING, why))
        return 0;
    contents->steps.back().state = STEP_UNDOING;
    return restoreStep(archive, journal, last, why) && dropLastStep(journal, contents, why);
}
