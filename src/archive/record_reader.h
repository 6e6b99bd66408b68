// Reading directory records from an archive in file order, through a buffer
// that grows while the reads run on (one long listing) and shrinks again
// after a jump, so that a walk that jumps between many small listings does
// not read far ahead each time. The loader and the editor's reading of the
// listings share it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/byte_store.h"

class RecordReader {
  public:
    explicit RecordReader(const ByteSource& file) : file_(file), fileSize_(file.size()) {}

    uint64_t fileSize() const { return fileSize_; }

    // The record at `position`: 1 with `*bytes` pointing at its 44 bytes
    // (valid until the next read); 0 when the file ends before the record
    // does; -1 when reading failed.
    int read(uint64_t position, const unsigned char** bytes);

  private:
    const ByteSource& file_;
    uint64_t fileSize_;
    std::vector<unsigned char> buffer_;
    uint64_t start_ = 0;
    uint64_t length_ = 0;
    size_t chunk_ = 0;
};
