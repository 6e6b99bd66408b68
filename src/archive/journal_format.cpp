#include "archive/journal_format.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>

uint32_t extendChecksum(uint32_t crc, const void* bytes, size_t count) {
    // zlib counts in unsigned int; a larger run goes in pieces.
    const auto* at = static_cast<const Bytef*>(bytes);
    uLong value = crc;
    while (count > 0) {
        const uInt piece = static_cast<uInt>(std::min<size_t>(count, UINT_MAX));
        value = crc32(value, at, piece);
        at += piece;
        count -= piece;
    }
    return static_cast<uint32_t>(value);
}

void encodeJournalHeader(const FileIdentity& identity, unsigned char* bytes) {
    std::memset(bytes, 0, JOURNAL_HEADER_SIZE);
    std::memcpy(bytes + JOURNAL_MAGIC_OFFSET, JOURNAL_MAGIC, JOURNAL_MAGIC_SIZE);
    encodeFixed32(bytes + JOURNAL_VERSION_OFFSET, JOURNAL_VERSION);
    encodeFixed64(bytes + JOURNAL_VOLUME_OFFSET, identity.volume);
    encodeFixed64(bytes + JOURNAL_FILE_OFFSET, identity.file);
    encodeFixed32(bytes + JOURNAL_HEADER_CHECK_OFFSET,
                  extendChecksum(0, bytes, JOURNAL_HEADER_CHECK_OFFSET));
}

JournalHeaderState decodeJournalHeader(const unsigned char* bytes, size_t available,
                                       FileIdentity* identity) {
    const size_t used = std::min(available, JOURNAL_HEADER_SIZE);
    const bool allZero = std::all_of(bytes, bytes + used, [](unsigned char b) { return b == 0; });
    const bool ourMagic =
        std::memcmp(bytes, JOURNAL_MAGIC, std::min(used, JOURNAL_MAGIC_SIZE)) == 0;
    // The header is written with the first step, before anything is synced
    // and before the archive is touched: a header cut short by a crash
    // stands for a journal that never held anything.
    if (available < JOURNAL_HEADER_SIZE)
        return allZero || ourMagic ? JOURNAL_HEADER_TORN : JOURNAL_HEADER_FOREIGN;
    if (allZero)
        return JOURNAL_HEADER_TORN;
    if (!ourMagic)
        return JOURNAL_HEADER_FOREIGN;
    // A whole header is written at once: one that is whole in length but
    // fails its check was damaged later, and whatever follows it is left alone.
    if (decodeFixed32(bytes + JOURNAL_HEADER_CHECK_OFFSET) !=
        extendChecksum(0, bytes, JOURNAL_HEADER_CHECK_OFFSET))
        return JOURNAL_HEADER_FOREIGN;
    // A later version may have steps this one cannot take back.
    if (decodeFixed32(bytes + JOURNAL_VERSION_OFFSET) != JOURNAL_VERSION)
        return JOURNAL_HEADER_FOREIGN;
    identity->volume = decodeFixed64(bytes + JOURNAL_VOLUME_OFFSET);
    identity->file = decodeFixed64(bytes + JOURNAL_FILE_OFFSET);
    return JOURNAL_HEADER_VALID;
}

void encodeRecordHeader(const RecordHeader& header, unsigned char* bytes) {
    encodeFixed32(bytes + RECORD_KIND_OFFSET, header.kind);
    encodeFixed32(bytes + RECORD_PAYLOAD_CHECK_OFFSET, header.payloadCheck);
    encodeFixed64(bytes + RECORD_LENGTH_OFFSET, header.payloadLength);
    encodeFixed32(bytes + RECORD_HEADER_CHECK_OFFSET,
                  extendChecksum(0, bytes, RECORD_HEADER_CHECK_OFFSET));
}

int decodeRecordHeader(const unsigned char* bytes, RecordHeader* header) {
    if (decodeFixed32(bytes + RECORD_HEADER_CHECK_OFFSET) !=
        extendChecksum(0, bytes, RECORD_HEADER_CHECK_OFFSET))
        return 0;
    header->kind = decodeFixed32(bytes + RECORD_KIND_OFFSET);
    header->payloadCheck = decodeFixed32(bytes + RECORD_PAYLOAD_CHECK_OFFSET);
    header->payloadLength = decodeFixed64(bytes + RECORD_LENGTH_OFFSET);
    return 1;
}

void encodeStepFixed(const StepFixed& fixed, unsigned char* bytes) {
    encodeFixed64(bytes + STEP_TIME_OFFSET, static_cast<uint64_t>(fixed.time));
    encodeFixed64(bytes + STEP_OLD_LENGTH_OFFSET, fixed.oldLength);
    encodeFixed64(bytes + STEP_PLANNED_LENGTH_OFFSET, fixed.plannedLength);
    encodeFixed64(bytes + STEP_WRITTEN_OFFSET, fixed.written);
    encodeFixed32(bytes + STEP_DESCRIPTION_LENGTH_OFFSET, fixed.descriptionLength);
    encodeFixed32(bytes + STEP_RANGE_COUNT_OFFSET, fixed.rangeCount);
}

StepFixed decodeStepFixed(const unsigned char* bytes) {
    StepFixed fixed;
    fixed.time = static_cast<int64_t>(decodeFixed64(bytes + STEP_TIME_OFFSET));
    fixed.oldLength = decodeFixed64(bytes + STEP_OLD_LENGTH_OFFSET);
    fixed.plannedLength = decodeFixed64(bytes + STEP_PLANNED_LENGTH_OFFSET);
    fixed.written = decodeFixed64(bytes + STEP_WRITTEN_OFFSET);
    fixed.descriptionLength = decodeFixed32(bytes + STEP_DESCRIPTION_LENGTH_OFFSET);
    fixed.rangeCount = decodeFixed32(bytes + STEP_RANGE_COUNT_OFFSET);
    return fixed;
}

void encodeStepRange(const StepRange& range, unsigned char* bytes) {
    encodeFixed64(bytes + RANGE_OFFSET_OFFSET, range.offset);
    encodeFixed64(bytes + RANGE_LENGTH_OFFSET, range.length);
    encodeFixed64(bytes + RANGE_SAVED_OFFSET, range.saved);
    encodeFixed32(bytes + RANGE_KIND_OFFSET, range.kind);
}

StepRange decodeStepRange(const unsigned char* bytes) {
    StepRange range;
    range.offset = decodeFixed64(bytes + RANGE_OFFSET_OFFSET);
    range.length = decodeFixed64(bytes + RANGE_LENGTH_OFFSET);
    range.saved = decodeFixed64(bytes + RANGE_SAVED_OFFSET);
    range.kind = decodeFixed32(bytes + RANGE_KIND_OFFSET);
    return range;
}
