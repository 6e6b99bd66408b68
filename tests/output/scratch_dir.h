// Helpers of the output tests on top of the shared ones (support/temp_dir.h):
// a temporary directory with `dir / "name"` for the paths inside it, and
// recognisable data.
#pragma once

#include <string>

#include "support/temp_dir.h"

namespace output_test {

class ScratchDir : public TempDir {
  public:
    std::string operator/(const std::string& name) const { return file(name); }
};

// `size` bytes of a recognisable pattern, different for each `seed`.
inline std::string patternBytes(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = char((i * 31 + seed * 7 + i / 251) & 0xFF);
    return bytes;
}

}  // namespace output_test
