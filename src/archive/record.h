// The 44-byte directory record of a DIR listing, decoded and encoded byte by
// byte (little-endian, no padding) so that no packed struct is ever cast.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr size_t DIR_NAME_OFFSET = 0;
constexpr size_t DIR_NAME_SIZE = 32;
constexpr size_t DIR_TYPE_OFFSET = 32;
constexpr size_t DIR_SIZE_OFFSET = 36;
constexpr size_t DIR_OFFSET_OFFSET = 40;
constexpr size_t DIR_FIELD_SIZE = 4;
constexpr size_t DIR_RECORD_SIZE = 44;
static_assert(DIR_NAME_SIZE + 3 * DIR_FIELD_SIZE == DIR_RECORD_SIZE);
static_assert(DIR_OFFSET_OFFSET + DIR_FIELD_SIZE == DIR_RECORD_SIZE);

// Stored type fields are the record type XOR this fill.
constexpr uint32_t DIR_TYPE_FILL = 0xCDCDCD00u;

// Record types after removing the fill; any other value ends a listing.
constexpr uint32_t TYPE_FILE = 0;
constexpr uint32_t TYPE_DIRECTORY = 1;
// The type our writer gives end records (stored as FF CD CD CD).
constexpr uint32_t TYPE_END = 0xFF;

// One directory record with its type already freed of the fill.
struct DirRecord {
    char name[DIR_NAME_SIZE] = {};  // NUL-terminated when shorter than 32 bytes
    uint32_t type = TYPE_END;
    uint32_t size = 0;
    uint32_t offset = 0;
};

// Reads a little-endian unsigned 32-bit value from 4 bytes.
inline uint32_t decodeFixed32(const unsigned char* bytes) {
    return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
           uint32_t{bytes[3]} << 24;
}

// Writes `value` as 4 little-endian bytes.
inline void encodeFixed32(unsigned char* bytes, uint32_t value) {
    bytes[0] = static_cast<unsigned char>(value);
    bytes[1] = static_cast<unsigned char>(value >> 8);
    bytes[2] = static_cast<unsigned char>(value >> 16);
    bytes[3] = static_cast<unsigned char>(value >> 24);
}

// Decodes the 44 bytes at `bytes`, removing the type fill.
inline DirRecord decodeDirRecord(const unsigned char* bytes) {
    DirRecord record;
    for (size_t i = 0; i < DIR_NAME_SIZE; ++i) {
        record.name[i] = static_cast<char>(bytes[DIR_NAME_OFFSET + i]);
    }
    record.type = decodeFixed32(bytes + DIR_TYPE_OFFSET) ^ DIR_TYPE_FILL;
    record.size = decodeFixed32(bytes + DIR_SIZE_OFFSET);
    record.offset = decodeFixed32(bytes + DIR_OFFSET_OFFSET);
    return record;
}

// Encodes `record` into 44 bytes at `bytes`, adding the type fill.
inline void encodeDirRecord(const DirRecord& record, unsigned char* bytes) {
    for (size_t i = 0; i < DIR_NAME_SIZE; ++i) {
        bytes[DIR_NAME_OFFSET + i] = static_cast<unsigned char>(record.name[i]);
    }
    encodeFixed32(bytes + DIR_TYPE_OFFSET, record.type ^ DIR_TYPE_FILL);
    encodeFixed32(bytes + DIR_SIZE_OFFSET, record.size);
    encodeFixed32(bytes + DIR_OFFSET_OFFSET, record.offset);
}

// The entry name a record stands for: the name bytes up to the first NUL (all
// 32 when there is none), with every '/' turned into '\'.
inline std::string recordEntryName(const DirRecord& record) {
    size_t length = 0;
    while (length < DIR_NAME_SIZE && record.name[length] != '\0') ++length;
    std::string name(record.name, length);
    for (char& c : name) {
        if (c == '/')
            c = '\\';
    }
    return name;
}
