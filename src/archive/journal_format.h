// The journal beside an archive ("GAME.DIR-journal"), byte by byte. All
// numbers are little-endian and decoded byte by byte; every part carries a
// CRC-32 so that a part torn by a crash is recognised as such.
//
// The file: a header, then records. Each record is a record header and its
// payload. A change is one step: a STEP record (what the change will
// overwrite, saved before a byte of the archive is touched), followed by a
// COMPLETE record once the archive holds the change, and by an UNDOING
// record while the change is being taken back.
//
//   journal header (JOURNAL_HEADER_SIZE)
//     0  8  magic "DIRJOURN"
//     8  4  version
//    12  4  zero
//    16  8  the archive's FileIdentity: volume
//    24  8  the archive's FileIdentity: file
//    32  4  CRC-32 of bytes 0..31
//   record header (RECORD_HEADER_SIZE), then `payloadLength` bytes
//     0  4  kind
//     4  4  CRC-32 of the payload
//     8  8  payload length
//    16  4  CRC-32 of bytes 0..15
//   STEP payload: the fixed part (STEP_FIXED_SIZE), the description (UTF-8),
//   then one range per write of the change (and one for bytes it cuts off)
//     0  8  time (seconds since 1970, UTC)
//     8  8  archive length before
//    16  8  archive length planned after
//    24  8  bytes the change writes
//    32  4  description length
//    36  4  range count
//   range (RANGE_HEADER_SIZE), then its `saved` bytes
//     0  8  offset in the archive
//     8  8  length
//    16  8  saved: how many of the range's old bytes follow (those below the old length)
//    24  4  kind: RANGE_WRITE or RANGE_CUT
//   COMPLETE payload (COMPLETE_PAYLOAD_SIZE)
//     0  8  archive length after
//     8  4  CRC-32 of the archive's bytes in every RANGE_WRITE range after the change
//   UNDOING payload: none
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/record.h"
#include "platform/archive_file.h"

constexpr char JOURNAL_MAGIC[8] = {'D', 'I', 'R', 'J', 'O', 'U', 'R', 'N'};
constexpr uint32_t JOURNAL_VERSION = 1;

constexpr size_t JOURNAL_MAGIC_OFFSET = 0;
constexpr size_t JOURNAL_MAGIC_SIZE = 8;
constexpr size_t JOURNAL_VERSION_OFFSET = 8;
constexpr size_t JOURNAL_VOLUME_OFFSET = 16;
constexpr size_t JOURNAL_FILE_OFFSET = 24;
constexpr size_t JOURNAL_HEADER_CHECK_OFFSET = 32;
constexpr size_t JOURNAL_HEADER_SIZE = 36;
static_assert(JOURNAL_HEADER_CHECK_OFFSET + 4 == JOURNAL_HEADER_SIZE);

constexpr size_t RECORD_KIND_OFFSET = 0;
constexpr size_t RECORD_PAYLOAD_CHECK_OFFSET = 4;
constexpr size_t RECORD_LENGTH_OFFSET = 8;
constexpr size_t RECORD_HEADER_CHECK_OFFSET = 16;
constexpr size_t RECORD_HEADER_SIZE = 20;
static_assert(RECORD_HEADER_CHECK_OFFSET + 4 == RECORD_HEADER_SIZE);

constexpr uint32_t RECORD_STEP = 1;
constexpr uint32_t RECORD_COMPLETE = 2;
constexpr uint32_t RECORD_UNDOING = 3;

constexpr size_t STEP_TIME_OFFSET = 0;
constexpr size_t STEP_OLD_LENGTH_OFFSET = 8;
constexpr size_t STEP_PLANNED_LENGTH_OFFSET = 16;
constexpr size_t STEP_WRITTEN_OFFSET = 24;
constexpr size_t STEP_DESCRIPTION_LENGTH_OFFSET = 32;
constexpr size_t STEP_RANGE_COUNT_OFFSET = 36;
constexpr size_t STEP_FIXED_SIZE = 40;
static_assert(STEP_RANGE_COUNT_OFFSET + 4 == STEP_FIXED_SIZE);

constexpr size_t RANGE_OFFSET_OFFSET = 0;
constexpr size_t RANGE_LENGTH_OFFSET = 8;
constexpr size_t RANGE_SAVED_OFFSET = 16;
constexpr size_t RANGE_KIND_OFFSET = 24;
constexpr size_t RANGE_HEADER_SIZE = 28;
static_assert(RANGE_KIND_OFFSET + 4 == RANGE_HEADER_SIZE);

constexpr uint32_t RANGE_WRITE = 0;  // bytes the change writes
constexpr uint32_t RANGE_CUT = 1;    // bytes past the new length that the change cuts off

constexpr size_t COMPLETE_LENGTH_OFFSET = 0;
constexpr size_t COMPLETE_CHECK_OFFSET = 8;
constexpr size_t COMPLETE_PAYLOAD_SIZE = 12;
static_assert(COMPLETE_CHECK_OFFSET + 4 == COMPLETE_PAYLOAD_SIZE);

// Continues the CRC-32 `crc` (0 to start) over `count` bytes at `bytes`.
uint32_t extendChecksum(uint32_t crc, const void* bytes, size_t count);

// Reads a little-endian unsigned 64-bit value from 8 bytes.
inline uint64_t decodeFixed64(const unsigned char* bytes) {
    return uint64_t{decodeFixed32(bytes)} | uint64_t{decodeFixed32(bytes + 4)} << 32;
}

// Writes `value` as 8 little-endian bytes.
inline void encodeFixed64(unsigned char* bytes, uint64_t value) {
    encodeFixed32(bytes, static_cast<uint32_t>(value));
    encodeFixed32(bytes + 4, static_cast<uint32_t>(value >> 32));
}

// Encodes the journal header for an archive of identity `identity`.
void encodeJournalHeader(const FileIdentity& identity, unsigned char* bytes);

// What a journal's first bytes say.
enum JournalHeaderState : int32_t {
    JOURNAL_HEADER_VALID = 0,    // ours, whole; `*identity` set
    JOURNAL_HEADER_TORN = 1,     // short (our magic or zeros so far) or all zero: a
                                 // journal whose making was cut off, holding nothing
    JOURNAL_HEADER_FOREIGN = 2,  // not a journal this program can read, or a damaged one
};

// Decodes the `available` first bytes of a journal (at most JOURNAL_HEADER_SIZE used).
JournalHeaderState decodeJournalHeader(const unsigned char* bytes, size_t available,
                                       FileIdentity* identity);

// A record header, decoded.
struct RecordHeader {
    uint32_t kind = 0;
    uint32_t payloadCheck = 0;
    uint64_t payloadLength = 0;
};

// Encodes a record header.
void encodeRecordHeader(const RecordHeader& header, unsigned char* bytes);

// Decodes a record header. Returns 1 when its check holds, 0 when it is torn.
int decodeRecordHeader(const unsigned char* bytes, RecordHeader* header);

// The fixed part of a STEP payload.
struct StepFixed {
    int64_t time = 0;
    uint64_t oldLength = 0;
    uint64_t plannedLength = 0;
    uint64_t written = 0;
    uint32_t descriptionLength = 0;
    uint32_t rangeCount = 0;
};

// Encodes the fixed part of a STEP payload into STEP_FIXED_SIZE bytes.
void encodeStepFixed(const StepFixed& fixed, unsigned char* bytes);
// Decodes the STEP_FIXED_SIZE bytes of a STEP payload's fixed part.
StepFixed decodeStepFixed(const unsigned char* bytes);

// One range of a STEP payload, without its saved bytes.
struct StepRange {
    uint64_t offset = 0;
    uint64_t length = 0;
    uint64_t saved = 0;
    uint32_t kind = RANGE_WRITE;
};

// Encodes a range's header into RANGE_HEADER_SIZE bytes.
void encodeStepRange(const StepRange& range, unsigned char* bytes);
// Decodes the RANGE_HEADER_SIZE bytes of a range's header.
StepRange decodeStepRange(const unsigned char* bytes);
