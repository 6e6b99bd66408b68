#include "archive/record_reader.h"

#include <algorithm>

#include "archive/record.h"

namespace {

constexpr size_t READ_CHUNK_MIN = 4096;
constexpr size_t READ_CHUNK_MAX = 1u << 20;

}  // namespace

int RecordReader::read(uint64_t position, const unsigned char** bytes) {
    if (position > fileSize_ || fileSize_ - position < DIR_RECORD_SIZE)
        return 0;
    if (position < start_ || position + DIR_RECORD_SIZE > start_ + length_) {
        const bool runsOn = chunk_ != 0 && position >= start_ && position <= start_ + length_;
        chunk_ = runsOn ? std::min(chunk_ * 2, READ_CHUNK_MAX) : READ_CHUNK_MIN;
        const size_t wanted = static_cast<size_t>(std::min<uint64_t>(chunk_, fileSize_ - position));
        buffer_.resize(std::max(buffer_.size(), wanted));
        const int64_t got = file_.readAt(position, buffer_.data(), wanted);
        start_ = position;
        length_ = got < 0 ? 0 : static_cast<uint64_t>(got);
        if (length_ < DIR_RECORD_SIZE)
            return -1;
    }
    *bytes = buffer_.data() + (position - start_);
    return 1;
}
