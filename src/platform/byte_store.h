// Files seen as plain runs of bytes: what the loader reads listings from and
// what a change to an archive writes into. The archive file, the archive
// opened for a change, its journal and the in-memory files of the tests all
// present themselves through these two interfaces, so the logic above them
// never knows which it has.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Bytes that can be read at any position.
class ByteSource {
  public:
    virtual ~ByteSource() = default;

    // The length in bytes.
    virtual uint64_t size() const = 0;

    // Reads up to `count` bytes at `offset` into `buffer`. Returns the bytes
    // read (fewer than `count` only at the end; 0 at or past it), or -1 on a
    // read error.
    virtual int64_t readAt(uint64_t offset, void* buffer, size_t count) const = 0;
};

// Bytes that can also be written, cut or extended, and made durable.
class ByteStore : public ByteSource {
  public:
    // Writes all `count` bytes at `offset`, extending the store when they run
    // past its end (a gap before them reads as zeros). Returns 1, or 0 with
    // the cause in `*why` (when not null).
    virtual int writeAt(uint64_t offset, const void* bytes, size_t count, std::string* why) = 0;

    // Makes the length `length`, cutting or extending with zeros. Returns 1,
    // or 0 with the cause in `*why` (when not null).
    virtual int setLength(uint64_t length, std::string* why) = 0;

    // Returns 1 once every byte written and the length are on stable storage
    // (fsync; FlushFileBuffers on Windows), or 0 with the cause in `*why`.
    virtual int sync(std::string* why) = 0;
};
